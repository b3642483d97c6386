// Units plugged in and pulled out while the window is open.
#pragma once

#include <windows.h>

// Handles WM_DEVICECHANGE; non-zero when the event was an arrival or a removal.
BOOL onDeviceChange(WPARAM event, LPARAM broadcast);
