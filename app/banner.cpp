#include "banner.h"

// The banner and the red labels come with the drawing work; until then the dialog manager
// paints the window and every label keeps the system's colours.
void paintBanner(HWND)
{
}

HBRUSH labelColours(HDC, HWND)
{
    return nullptr;
}

void deleteLabelBrush()
{
}
