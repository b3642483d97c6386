// Test double: the common controls the updater uses.
#pragma once

#include <windows.h>

extern "C" {

void WINAPI InitCommonControls(void);

}
