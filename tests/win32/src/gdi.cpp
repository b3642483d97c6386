// gdi32 and msimg32: device contexts, bitmaps and brushes, counted; what is drawn, recorded.
#include "state.h"

#include <algorithm>

using win32double::BltCall;
using win32double::detail::State;
using win32double::detail::state;

namespace {

void* newObject(State::GdiObject::Kind kind)
{
    void* handle = win32double::detail::newHandleValue();
    State::GdiObject created;
    created.kind = kind;
    state().gdiObjects[handle] = created;
    return handle;
}

State::GdiObject* object(void* handle, State::GdiObject::Kind kind)
{
    auto found = state().gdiObjects.find(handle);
    return found == state().gdiObjects.end() || found->second.kind != kind ? nullptr : &found->second;
}

BOOL release(void* handle, State::GdiObject::Kind kind)
{
    if (object(handle, kind) == nullptr) {
        ++state().invalidReleases;
        return FALSE;
    }
    state().gdiObjects.erase(handle);
    return TRUE;
}

void selectedBitmapSize(HDC dc, LONG& width, LONG& height)
{
    width = height = 0;
    if (State::GdiObject* context = object(dc, State::GdiObject::DeviceContext))
        if (State::GdiObject* bitmap = object(context->selected, State::GdiObject::Bitmap)) {
            width = bitmap->width;
            height = bitmap->height;
        }
}

}

namespace win32double {

const std::vector<BltCall>& bltCalls()
{
    return state().bltCalls;
}

std::optional<COLORREF> brushColor(HBRUSH brush)
{
    State::GdiObject* found = object(brush, State::GdiObject::Brush);
    return found == nullptr ? std::nullopt : std::optional<COLORREF>(found->color);
}

DeviceContextState deviceContextState(HDC dc)
{
    State::GdiObject* context = object(dc, State::GdiObject::DeviceContext);
    return context == nullptr ? DeviceContextState{} : context->dc;
}

}

extern "C" {

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    auto& windows = state().needsPaint;
    windows.erase(std::remove(windows.begin(), windows.end(), hWnd), windows.end());   // painted: valid again
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = static_cast<HDC>(newObject(State::GdiObject::DeviceContext));
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* lpPaint)
{
    return release(lpPaint->hdc, State::GdiObject::DeviceContext);
}

HBITMAP WINAPI LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName)
{
    HRSRC found = FindResourceW(hInstance, lpBitmapName, RT_BITMAP);
    if (found == nullptr)
        return nullptr;
    const auto* header = static_cast<const std::uint8_t*>(LockResource(LoadResource(hInstance, found)));
    auto read32 = [header](int at) {
        return static_cast<LONG>(header[at] | (header[at + 1] << 8) | (header[at + 2] << 16) |
                                 (static_cast<std::uint32_t>(header[at + 3]) << 24));
    };
    void* bitmap = newObject(State::GdiObject::Bitmap);
    state().gdiObjects[bitmap].width = read32(4);
    state().gdiObjects[bitmap].height = read32(8);
    return static_cast<HBITMAP>(bitmap);
}

int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv)
{
    State::GdiObject* bitmap = object(h, State::GdiObject::Bitmap);
    if (bitmap == nullptr || c < static_cast<int>(sizeof(BITMAP)) || state().bitmapInfoFails)
        return 0;
    BITMAP info = {};
    info.bmWidth = bitmap->width;
    info.bmHeight = bitmap->height;
    info.bmPlanes = 1;
    info.bmBitsPixel = 24;
    *static_cast<BITMAP*>(pv) = info;
    return sizeof(BITMAP);
}

HDC WINAPI CreateCompatibleDC(HDC)
{
    return static_cast<HDC>(newObject(State::GdiObject::DeviceContext));
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    return release(hdc, State::GdiObject::DeviceContext);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    State::GdiObject* context = object(hdc, State::GdiObject::DeviceContext);
    if (context == nullptr)
        return nullptr;
    HGDIOBJ previous = context->selected;
    context->selected = h;
    // A DC starts with a stock bitmap of its own; this stands in for it.
    return previous != nullptr ? previous : reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x57C0));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    auto found = state().gdiObjects.find(ho);
    if (found == state().gdiObjects.end() || found->second.kind == State::GdiObject::DeviceContext) {
        ++state().invalidReleases;
        return FALSE;
    }
    state().gdiObjects.erase(found);
    return TRUE;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC, int cx, int cy)
{
    void* bitmap = newObject(State::GdiObject::Bitmap);
    state().gdiObjects[bitmap].width = cx;
    state().gdiObjects[bitmap].height = cy;
    return static_cast<HBITMAP>(bitmap);
}

int WINAPI SetStretchBltMode(HDC hdc, int mode)
{
    State::GdiObject* context = object(hdc, State::GdiObject::DeviceContext);
    if (context == nullptr)
        return 0;
    int previous = context->dc.stretchMode;
    context->dc.stretchMode = mode;
    return previous;
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD)
{
    BltCall call = {"StretchBlt", xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, 0, 0, 0,
                    win32double::deviceContextState(hdcDest).stretchMode};
    selectedBitmapSize(hdcSrc, call.sourceBitmapWidth, call.sourceBitmapHeight);
    state().bltCalls.push_back(call);
    return TRUE;
}

BOOL WINAPI TransparentBlt(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest, HDC hdcSrc,
                           int xoriginSrc, int yoriginSrc, int wSrc, int hSrc, UINT crTransparent)
{
    (void)hdcDest;
    BltCall call = {"TransparentBlt", xoriginDest, yoriginDest, wDest, hDest, xoriginSrc, yoriginSrc, wSrc, hSrc,
                    crTransparent, 0, 0, win32double::deviceContextState(hdcSrc).stretchMode};
    selectedBitmapSize(hdcSrc, call.sourceBitmapWidth, call.sourceBitmapHeight);
    state().bltCalls.push_back(call);
    return TRUE;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    State::GdiObject* context = object(hdc, State::GdiObject::DeviceContext);
    if (context == nullptr)
        return 0xFFFFFFFF;
    COLORREF previous = context->dc.textColor;
    context->dc.textColor = color;
    return previous;
}

int WINAPI SetBkMode(HDC hdc, int mode)
{
    State::GdiObject* context = object(hdc, State::GdiObject::DeviceContext);
    if (context == nullptr)
        return 0;
    int previous = context->dc.backgroundMode;
    context->dc.backgroundMode = mode;
    return previous;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    void* brush = newObject(State::GdiObject::Brush);
    object(brush, State::GdiObject::Brush)->color = color;
    return static_cast<HBRUSH>(brush);
}

}
