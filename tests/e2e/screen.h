// What is on the screen: saved as a picture, and counted by colour.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace e2e {

// The whole screen (Wine's virtual desktop) as a 24-bit BMP file.
bool saveScreenshot(const std::wstring& path);
// A part of the screen as a 24-bit BMP file.
bool saveScreenshot(const std::wstring& path, const RECT& area);

// Pixels of exactly this colour inside the window's rectangle, as the screen shows them now.
std::size_t countPixels(HWND window, COLORREF colour);

}
