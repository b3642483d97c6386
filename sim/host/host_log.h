// What the simulation host has to say while it runs: each line goes to its standard error and to
// host.log in the simulation's out folder, where a test can read it.
#pragma once

#include <string>

namespace host {

void setLogFolder(const std::wstring& folder);
void logLine(const std::string& line);      // "zefran-sim-host: " is put in front

}
