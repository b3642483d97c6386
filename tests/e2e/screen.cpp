#include "screen.h"

#include <vector>

namespace e2e {

namespace {

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels;               // bottom-up rows of BGR, each padded to 4 bytes
    int stride() const { return (width * 3 + 3) & ~3; }
};

Capture capture(const RECT& area)
{
    Capture shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    if (shot.width <= 0 || shot.height <= 0)
        return shot;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, shot.height);
    HGDIOBJ before = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, before);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = shot.width;
    format.bmiHeader.biHeight = shot.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    shot.pixels.resize(static_cast<std::size_t>(shot.stride()) * shot.height);
    GetDIBits(memory, bitmap, 0, shot.height, shot.pixels.data(), &format, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

}

bool saveScreenshot(const std::wstring& path)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return saveScreenshot(path, screen);
}

bool saveScreenshot(const std::wstring& path, const RECT& area)
{
    Capture shot = capture(area);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = shot.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(shot.pixels.size());
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) &&
              WriteFile(file, &info, sizeof info, &written, nullptr) &&
              WriteFile(file, shot.pixels.data(), info.biSizeImage, &written, nullptr);
    CloseHandle(file);
    return ok;
}

std::size_t countPixels(HWND window, COLORREF colour)
{
    RECT area;
    GetWindowRect(window, &area);
    Capture shot = capture(area);
    std::size_t count = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const BYTE* p = &shot.pixels[static_cast<std::size_t>(y) * shot.stride() + static_cast<std::size_t>(x) * 3];
            count += RGB(p[2], p[1], p[0]) == colour ? 1 : 0;
        }
    return count;
}

}
