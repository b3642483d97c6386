#include "text_fit.h"

#include "expected_texts.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <algorithm>
#include <cstdio>

namespace e2e {

namespace {

// Button and group box captions are drawn inside a border: a push button's is two pixels on
// each side, and a group box starts its caption a few pixels in from its frame.
constexpr int buttonMargin = 4;
constexpr int groupMargin = 16;
constexpr LONG spare = 64;                  // room around the control, to see what it would clip

const int captionedControls[] = {2, 1002, 40010, 1005, 40013, 40014, -1, 40007, 40011, 40015};

INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The updater's dialog 110 in this user's language, hidden, in this process.
HWND dialogCopy()
{
    static HMODULE updater =
        LoadLibraryExW((runFolder() + L"\\zefran-hvi-updater.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceExW(updater, RT_DIALOG, MAKEINTRESOURCEW(110), userLanguage());
    if (found == nullptr)
        return nullptr;
    auto dialogTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(updater, found)));
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, nullptr, quietDialog, 0);
}

struct Layout {
    int lines;                              // as DrawTextW breaks the text at the control's width
    LONG boxLeft, boxRight;                 // where the font's metrics place the text
    LONG inkLeft, inkRight;                 // the pixels actually drawn
};

// The text laid out and drawn as the control draws it (its font, alignment and wrapping), into
// a bitmap wider than the control, so that what the control would clip is seen too.
Layout layOut(HWND control, const std::wstring& text, LONG width)
{
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    bool wraps = std::wstring(className) == L"Static" && (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
    bool right = (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_RIGHT) != 0;
    UINT flags = (wraps ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE) | (right ? DT_RIGHT : DT_LEFT);

    HDC dc = CreateCompatibleDC(nullptr);
    TEXTMETRICW metrics = {};
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &metrics);
    LONG height = std::max<LONG>(metrics.tmHeight, 1);
    HBITMAP bitmap = CreateBitmap(width + 2 * spare, height, 1, 1, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all = {0, 0, width + 2 * spare, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    RECT box = {0, 0, width, 0};
    DrawTextW(dc, text.c_str(), -1, &box, flags | DT_CALCRECT);
    Layout layout = {static_cast<int>((box.bottom + height - 1) / height), 0, box.right - box.left, width, 0};
    if (right)
        layout = {layout.lines, width - layout.boxRight, width, width, 0};
    RECT at = {spare, 0, spare + width, height};
    DrawTextW(dc, text.c_str(), -1, &at, flags | DT_NOCLIP);
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width + 2 * spare; ++x)
            if (GetPixel(dc, x, y) == RGB(0, 0, 0)) {
                layout.inkLeft = std::min(layout.inkLeft, x - spare);
                layout.inkRight = std::max(layout.inkRight, x - spare + 1);
            }
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return layout;
}

}

std::vector<std::string> textsThatDoNotFit(HWND dialog)
{
    HWND copy = dialogCopy();
    if (copy == nullptr)
        return {"the updater's dialog template could not be read"};
    std::vector<std::string> misfits;
    for (int id : captionedControls) {
        HWND control = GetDlgItem(copy, id);
        std::wstring text = ui::controlText(dialog, id);
        RECT client;
        GetClientRect(control, &client);
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        bool group = (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        LONG room = client.right - (std::wstring(className) != L"Button" ? 0 : group ? groupMargin : buttonMargin);
        Layout l = layOut(control, text, room);
        // Wine's metrics and its drawing of this font disagree by a few pixels either way: letters
        // draw narrower than they measure, and a right-aligned '0' draws one column past its box.
        // A text fits when it takes one line and either its measured box or its drawn pixels
        // lie within the control; both outside is a cut the user sees.
        bool inside = (l.boxLeft >= 0 && l.boxRight <= room) || (l.inkLeft >= 0 && l.inkRight <= room);
        if (l.lines <= 1 && inside)
            continue;
        char line[256];
        std::snprintf(line, sizeof line, "%d '%ls': %d lines, measured %ld..%ld, drawn %ld..%ld, room %ld", id,
                      text.c_str(), l.lines, l.boxLeft, l.boxRight, l.inkLeft, l.inkRight, room);
        misfits.push_back(line);
    }
    DestroyWindow(copy);
    return misfits;
}

}
