// zefran-sim-ctl: plugs simulated units in and out while the host runs them.
//   zefran-sim-ctl attach [<unit description>]   prints the new unit's number once it is present
//   zefran-sim-ctl detach <n>                    returns once unit n is gone
//   zefran-sim-ctl clients <n>                   prints how many handles the updater holds on unit n,
//                                                or fails with the reason when it cannot count them
//   zefran-sim-ctl wait <n>                      returns once n units are attached
//   zefran-sim-ctl controller <n> <keys>         puts another controller on unit n's lead (keys
//                                                state, type, esc, loader; left out: kept) and
//                                                returns once the unit answers with it
//   zefran-sim-ctl stop                          detaches every unit and ends the host
// It finds the host through %ZEFRAN_SIM_OUT% (else %TEMP%\zefran-sim), as the host does.
#include "control_client.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    bool numbered = verb == "detach" || verb == "clients" || verb == "wait";
    bool valid = (numbered && argc == 3) || (verb == "attach" && argc <= 3) || (verb == "controller" && argc == 4) ||
                 (verb == "stop" && argc == 2);
    if (!valid) {
        std::fprintf(stderr, "usage: zefran-sim-ctl attach [<unit description>] | detach <n> | clients <n> | wait <n> |\n"
                             "       controller <n> <keys> | stop\n");
        return 2;
    }
    std::string request = verb;
    for (int i = 2; i < argc; ++i)
        request += std::string(" ") + argv[i];
    std::string answer;
    if (!host::askSimulation(host::simulationOutFolder(), request, answer)) {
        std::fprintf(stderr, "zefran-sim-ctl: no simulation host answers (start zefran-sim-host.exe first)\n");
        return 1;
    }
    bool ok = answer == "ok" || answer.rfind("ok ", 0) == 0;
    std::string shown = ok ? (answer.size() > 3 ? answer.substr(3) : "") : answer;
    if (!shown.empty())
        std::fprintf(ok ? stdout : stderr, "%s\n", shown.c_str());
    return ok ? 0 : 1;
}
