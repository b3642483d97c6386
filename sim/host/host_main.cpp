// zefran-sim-host: runs the simulated programming units as HID devices of the Wine prefix, for
// the real updater to find through Wine's own setupapi and hid.dll. Run it in a prefix readied
// by scripts/wine-prefix (which installs the zefranhid driver), before the updater:
//   ZEFRAN_SIM_UNITS  the units attached at start (see unit_description.h); unset: one default unit
//   ZEFRAN_SIM_OUT    where each unit writes its transcript and flash dump; else %TEMP%\zefran-sim
// It runs until "zefran-sim-ctl stop", which removes its devices again.
#include "control_client.h"
#include "control_pipe.h"
#include "host_log.h"
#include "root_devices.h"
#include "units.h"

#include <windows.h>

#include <cstdio>

namespace {

// The units ZEFRAN_SIM_UNITS describes, checked before anything in the prefix is touched.
bool startUnits(std::vector<sim::UnitDescription>& descriptions)
{
    std::string error;
    char units[4096];
    DWORD length = GetEnvironmentVariableA("ZEFRAN_SIM_UNITS", units, sizeof units);
    if (!sim::parseUnitList(length == 0 || length >= sizeof units ? nullptr : units, descriptions, error)) {
        std::fprintf(stderr, "zefran-sim-host: ZEFRAN_SIM_UNITS: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool attachStartUnits(const std::vector<sim::UnitDescription>& descriptions)
{
    std::string error;
    for (const sim::UnitDescription& description : descriptions) {
        if (host::attachUnit(description, error) < 0) {
            host::logLine("cannot attach a unit: " + error);
            return false;
        }
    }
    return true;
}

}

int main()
{
    // One host per prefix: a second one would take the first one's devices for leftovers and
    // remove them. The mutex lives as long as its host: a host that died leaves none behind.
    HANDLE running = CreateMutexW(nullptr, FALSE, L"zefran-sim-host.OnePerPrefix");
    if (running == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "zefran-sim-host: another simulation host runs in this Wine prefix; nothing was changed\n");
        if (running != nullptr)
            CloseHandle(running);
        return 1;
    }
    std::vector<sim::UnitDescription> descriptions;
    if (!startUnits(descriptions)) {
        CloseHandle(running);
        return 1;
    }
    std::wstring outFolder = host::simulationOutFolder();
    CreateDirectoryW(outFolder.c_str(), nullptr);
    DeleteFileW((outFolder + L"\\control-pipe").c_str());
    host::setOutFolder(outFolder);
    host::setLogFolder(outFolder);
    int leftovers = host::removeLeftoverDevices();
    if (leftovers != 0)
        host::logLine("removed " + std::to_string(leftovers) + " unit(s) an earlier host left in the prefix");
    int result = 0;
    if (attachStartUnits(descriptions))
        host::serveControlPipe(outFolder);
    else
        result = 1;
    host::detachAllUnits();
    CloseHandle(running);
    return result;
}
