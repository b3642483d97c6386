// WM_DEVICECHANGE for simulated units, sent as Windows sends it to registered windows.
#pragma once

#include <string>

namespace dropin {

// Arrival (DBT_DEVICEARRIVAL) or removal (DBT_DEVICEREMOVECOMPLETE) of the interface at path,
// sent to every unowned top-level window of this process.
void notifyWindows(bool arrival, const std::wstring& path);

}
