// Units plugged in and pulled out while the window is open.
#pragma once

#include <windows.h>
#include <dbt.h>

// Handles WM_DEVICECHANGE: TRUE for an arrival or a removal, whatever came of it; FALSE for
// every other event, so that the system's default handling applies.
BOOL onDeviceChange(WPARAM event, LPARAM broadcast);
