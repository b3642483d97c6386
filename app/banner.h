// The banner beside the version panel and the red labels of the controller's row.
#pragma once

#include <windows.h>

void paintBanner(HWND dialog);

// WM_CTLCOLORSTATIC: the brush for a red label, or null to keep the system's colours.
HBRUSH labelColours(HDC labelContext, HWND label);

// Releases the label brush at the end of the dialog.
void deleteLabelBrush();
