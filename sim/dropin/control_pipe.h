// The pipe through which zefran-sim-ctl attaches and detaches units while the updater runs.
// Its name is unique to the process and written to <out folder>\control-pipe.
#pragma once

#include <string>

namespace dropin {

void startControlPipe(const std::wstring& outFolder);

// The request and answer texts: "attach <unit description>" -> "ok <n>"; "detach <n>" -> "ok <n>";
// "clients <n>" -> "ok <handles the updater holds open on unit n>"; anything else or a failure
// -> "error <what>".
std::string controlAnswer(const std::string& request);

}
