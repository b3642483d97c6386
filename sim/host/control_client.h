// The client side of the control pipe, for zefran-sim-ctl and the end-to-end tests.
#pragma once

#include <string>

namespace host {

// The simulation's output folder: %ZEFRAN_SIM_OUT%, else %TEMP%\zefran-sim.
std::wstring simulationOutFolder();

// Sends one request to the host that writes into outFolder; false when nobody answers.
bool askSimulation(const std::wstring& outFolder, const std::string& request, std::string& answer);

}
