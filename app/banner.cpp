#include "banner.h"

#include "app_state.h"
#include "resource.h"

namespace {

constexpr COLORREF transparentKey = RGB(0, 255, 0);
constexpr COLORREF redLabelText = RGB(255, 0, 0);
constexpr int bannerGap = 20;               // between the group box and the banner
constexpr int bannerRightMargin = 45;

HBRUSH labelBrush = nullptr;                // the dialog's, from the first red label to Close

struct BannerPlace {
    int x;
    int y;
    int width;
    int height;
};

// Right of the version panel's group box, at most half the bitmap's width and no wider than the
// window leaves, in the bitmap's proportion.
BannerPlace placeBanner(const BITMAP& bitmap)
{
    RECT window;
    RECT group;
    GetWindowRect(mainWindow, &window);
    GetWindowRect(GetDlgItem(mainWindow, IDC_VERSION_GROUP), &group);
    int freeWidth = window.right - group.right - bannerRightMargin;
    int width = bitmap.bmWidth / 2 < freeWidth ? bitmap.bmWidth / 2 : freeWidth;
    int height = static_cast<int>(static_cast<float>(width) / static_cast<float>(bitmap.bmWidth) *
                                  static_cast<float>(bitmap.bmHeight));
    // The horizontal position takes off the frame only, the vertical one the caption only.
    int x = group.right - (window.left + GetSystemMetrics(SM_CXDLGFRAME)) + bannerGap;
    int y = group.top - (window.top + GetSystemMetrics(SM_CYCAPTION));
    return {x, y, width, height};
}

void drawBanner(HDC target, HBITMAP banner)
{
    BITMAP bitmap = {};
    if (GetObjectW(banner, sizeof bitmap, &bitmap) == 0 || bitmap.bmWidth <= 0 || bitmap.bmHeight <= 0)
        return;                             // nothing readable to scale
    BannerPlace place = placeBanner(bitmap);
    if (place.width <= 0 || place.height <= 0)
        return;                             // no room beside the panel

    HDC source = CreateCompatibleDC(target);
    HGDIOBJ sourceBefore = SelectObject(source, banner);
    // Scaled first, keyed 1:1 after: a scaled TransparentBlt blends the key into the edges
    // under Wine, and COLORONCOLOR keeps every pixel one of the bitmap's own colours.
    HDC scaled = CreateCompatibleDC(target);
    HBITMAP scaledBitmap = CreateCompatibleBitmap(target, place.width, place.height);
    HGDIOBJ scaledBefore = SelectObject(scaled, scaledBitmap);
    SetStretchBltMode(scaled, COLORONCOLOR);
    StretchBlt(scaled, 0, 0, place.width, place.height, source, 0, 0, bitmap.bmWidth, bitmap.bmHeight, SRCCOPY);
    TransparentBlt(target, place.x, place.y, place.width, place.height, scaled, 0, 0, place.width, place.height,
                   transparentKey);

    SelectObject(scaled, scaledBefore);
    DeleteObject(scaledBitmap);
    DeleteDC(scaled);
    SelectObject(source, sourceBefore);
    DeleteDC(source);
}

}

void paintBanner(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(dialog, &paint);
    // Loaded, drawn and released at every paint: nothing survives between paints.
    HBITMAP banner = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_BANNER));
    if (banner != nullptr) {
        drawBanner(target, banner);
        DeleteObject(banner);
    }
    EndPaint(dialog, &paint);
}

HBRUSH labelColours(HDC labelContext, HWND label)
{
    if (label != GetDlgItem(mainWindow, IDC_ROW_ESC) && label != GetDlgItem(mainWindow, IDC_VERSION_ESC))
        return nullptr;
    SetTextColor(labelContext, redLabelText);
    SetBkMode(labelContext, TRANSPARENT);
    if (labelBrush == nullptr)
        labelBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    return labelBrush;
}

void deleteLabelBrush()
{
    if (labelBrush != nullptr)
        DeleteObject(labelBrush);
    labelBrush = nullptr;
}
