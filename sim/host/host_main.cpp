// zefran-sim-host: runs the simulated programming units as HID devices of the Wine prefix, for
// the real updater to find through Wine's own setupapi and hid.dll. Run it in a prefix readied
// by scripts/wine-prefix (which installs the zefranhid driver), before the updater:
//   ZEFRAN_SIM_UNITS  the units attached at start (see unit_description.h); unset: one default unit
//   ZEFRAN_SIM_OUT    where each unit writes its transcript and flash dump; else %TEMP%\zefran-sim
// It runs until "zefran-sim-ctl stop", which removes its devices again.
#include "control_client.h"
#include "control_pipe.h"
#include "root_devices.h"
#include "units.h"

#include <windows.h>

#include <cstdio>

namespace {

bool attachStartUnits()
{
    std::vector<sim::UnitDescription> descriptions;
    std::string error;
    char units[4096];
    DWORD length = GetEnvironmentVariableA("ZEFRAN_SIM_UNITS", units, sizeof units);
    if (!sim::parseUnitList(length == 0 || length >= sizeof units ? nullptr : units, descriptions, error)) {
        std::fprintf(stderr, "zefran-sim-host: ZEFRAN_SIM_UNITS: %s\n", error.c_str());
        return false;
    }
    for (const sim::UnitDescription& description : descriptions) {
        if (host::attachUnit(description, error) < 0) {
            std::fprintf(stderr, "zefran-sim-host: cannot attach a unit: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

}

int main()
{
    std::wstring outFolder = host::simulationOutFolder();
    CreateDirectoryW(outFolder.c_str(), nullptr);
    DeleteFileW((outFolder + L"\\control-pipe").c_str());
    host::setOutFolder(outFolder);
    int leftovers = host::removeLeftoverDevices();
    if (leftovers != 0)
        std::fprintf(stderr, "zefran-sim-host: removed %d unit(s) an earlier host left in the prefix\n", leftovers);
    if (!attachStartUnits()) {
        host::detachAllUnits();
        return 1;
    }
    host::serveControlPipe(outFolder);
    host::detachAllUnits();
    return 0;
}
