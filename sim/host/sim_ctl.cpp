// zefran-sim-ctl: plugs simulated units in and out of a running updater.
//   zefran-sim-ctl attach <unit description>     prints the new unit's number
//   zefran-sim-ctl detach <n>
//   zefran-sim-ctl clients <n>            prints how many handles the updater holds open on unit n
// It finds the updater through %ZEFRAN_SIM_OUT% (else %TEMP%\zefran-sim), as the drop-ins do.
#include "control_client.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    if (argc < 2 || argc > 3 || (verb != "attach" && verb != "detach" && verb != "clients") ||
        (verb != "attach" && argc != 3)) {
        std::fprintf(stderr, "usage: zefran-sim-ctl attach [<unit description>] | detach <n> | clients <n>\n");
        return 2;
    }
    std::string request = verb + (argc == 3 ? std::string(" ") + argv[2] : std::string());
    std::string answer;
    if (!dropin::askSimulation(dropin::simulationOutFolder(), request, answer)) {
        std::fprintf(stderr, "zefran-sim-ctl: no running updater with simulated units answers\n");
        return 1;
    }
    bool ok = answer.rfind("ok ", 0) == 0;
    std::fprintf(ok ? stdout : stderr, "%s\n", ok ? answer.substr(3).c_str() : answer.c_str());
    return ok ? 0 : 1;
}
