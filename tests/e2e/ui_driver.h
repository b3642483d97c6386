// Drives the real updater from another process under Wine: finds its dialog, reads what the
// user sees, presses what the user presses.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// The visible, unowned dialog (#32770) whose title is exactly title; null after timeoutMs.
HWND waitForDialog(const std::wstring& title, DWORD timeoutMs);

// A control's text. Another process's edit control answers WM_GETTEXT only, not GetWindowTextW.
std::wstring text(HWND window);
std::wstring controlText(HWND dialog, int id);
bool controlEnabled(HWND dialog, int id);

// The cancel command, as Close, Escape and the close box send it; posted, so a box it opens
// cannot block the driver.
void postClose(HWND dialog);

// True when the window is gone within timeoutMs.
bool waitUntilGone(HWND window, DWORD timeoutMs);

}
