// Test double: the common controls the updater uses.
#pragma once

#include <windows.h>

#define PBS_SMOOTH 0x01u
#define PBM_SETPOS 0x0402u

extern "C" {

void WINAPI InitCommonControls(void);

}
