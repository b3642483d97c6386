// The main dialog's procedure: every message of the window arrives here.
#pragma once

#include <windows.h>

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
