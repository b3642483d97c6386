// One updater at a time on a PC: two would open the same unit, and each would read the other's
// replies.
#pragma once

#include <windows.h>

// False when another updater runs: its window has been brought to the front, and this one must
// end without touching a unit. Otherwise lock holds what keeps the others out (it may be null),
// to be closed when the program ends.
bool takeUpdaterLock(HANDLE& lock);
