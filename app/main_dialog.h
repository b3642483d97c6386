// The main dialog's procedure: every message of the window arrives here.
#pragma once

#include "app_state.h"

#include <windows.h>

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The main window's title: "BRELVANT ZEFRAN HVI FW Updater 1.18 ".
void formatTitle(WCHAR (&title)[titleBufferSize]);
