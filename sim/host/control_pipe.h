// The pipe through which zefran-sim-ctl and the tests plug units in and out of the host. Its name
// is unique to the host's process and written to <out folder>\control-pipe once the units of
// ZEFRAN_SIM_UNITS are present, so a client that finds it finds them.
#pragma once

#include <string>

namespace host {

// Serves requests until a "stop" request has been answered; then returns.
void serveControlPipe(const std::wstring& outFolder);

// The request and answer texts: "attach <unit description>" -> "ok <n>"; "detach <n>" -> "ok <n>";
// "clients <n>" -> "ok <handles the updater holds open on unit n>"; "wait <n>" -> "ok <n>" once n
// units are attached; "stop" -> "ok" after every unit was detached; anything else or a failure
// -> "error <what>".
std::string controlAnswer(const std::string& request, bool& stop);

}
