// The progress window of the update: a top-level progress bar centred on the main window.
#pragma once

#include <windows.h>

HWND createProgressWindow();
void setProgress(HWND progress, DWORD total, DWORD remaining);
// Raises the main window and the progress window once, after the first block at whose end one
// of them is in the foreground; lastRaised remembers that it happened.
void raiseOnce(HWND progress, HWND& lastRaised);
