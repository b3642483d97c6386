// The client side of the control pipe, for zefran-sim-ctl and the end-to-end tests.
#pragma once

#include <string>

namespace dropin {

// The simulation's output folder: %ZEFRAN_SIM_OUT%, else %TEMP%\zefran-sim.
std::wstring simulationOutFolder();

// Sends one request to the updater whose drop-ins write into outFolder; false when nobody answers.
bool askSimulation(const std::wstring& outFolder, const std::string& request, std::string& answer);

}
