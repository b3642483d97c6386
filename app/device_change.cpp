#include "device_change.h"

// Arrival and removal handling comes with the hot-plug work; until then the window keeps what
// it found at start and the system's default handling applies.
BOOL onDeviceChange(WPARAM, LPARAM)
{
    return FALSE;
}
