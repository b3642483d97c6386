// Where every failed update ends: the unit is let go and the user told what failed.
#pragma once

#include <windows.h>

// Closes the unit, disables Update, empties the panel, shows text (with the code line unless
// code is -1) in an error box, then leaves the retry hint.
void reportUpdateFailure(const WCHAR* text, const WCHAR* caption, int code, DWORD lastError);
