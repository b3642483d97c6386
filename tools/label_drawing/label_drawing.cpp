// zefran-label-drawing: how Wine draws a version label of the updater, enabled and disabled.
// The same label as the window's: a Static of 75 x 13 pixels (50 x 8 dialog units), SS_LEFT with
// WS_EX_RIGHT, in the dialog font (MS Shell Dlg, 8 point), showing "0.0.0". Beside each, the same
// text in a left-aligned label as wide as the text needs, which shows the whole glyphs. For each
// label it prints which pixel columns Windows' drawing reached, read back from the screen, so a
// column lost at the right edge shows as one column fewer than the left-aligned copy has.
//   zefran-label-drawing [text]
#include <windows.h>

#include <cstdio>

namespace {

struct Label {
    const char* name;
    DWORD exStyle;
    bool enabled;
    int width;
    HWND window;
};

// The first and last pixel column of the label's client area that is not its background.
bool inkColumns(HWND label, int& first, int& last)
{
    RECT client;
    GetClientRect(label, &client);
    HDC dc = GetDC(label);
    COLORREF background = GetPixel(dc, 0, 0);
    first = client.right;
    last = -1;
    for (int x = 0; x < client.right; ++x)
        for (int y = 0; y < client.bottom; ++y)
            if (GetPixel(dc, x, y) != background) {
                first = first < x ? first : x;
                last = x;
            }
    ReleaseDC(label, dc);
    return last >= 0;
}

}

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* text = argc > 1 ? argv[1] : L"0.0.0";
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
    HWND frame = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 100, 100, 400, 120, nullptr, nullptr,
                                 nullptr, nullptr);
    Label labels[] = {
        {"right-aligned, enabled ", WS_EX_RIGHT, true, 75, nullptr},
        {"right-aligned, disabled", WS_EX_RIGHT, false, 75, nullptr},
        {"left-aligned,  enabled ", 0, true, 120, nullptr},
        {"left-aligned,  disabled", 0, false, 120, nullptr},
    };
    int y = 10;
    for (Label& label : labels) {
        label.window = CreateWindowExW(label.exStyle, L"Static", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, y,
                                       label.width, 13, frame, nullptr, nullptr, nullptr);
        SendMessageW(label.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        EnableWindow(label.window, label.enabled);
        y += 25;
    }
    UpdateWindow(frame);
    for (DWORD started = GetTickCount(); GetTickCount() - started < 1000;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(20);
    }
    int failures = 0;
    for (const Label& label : labels) {
        int first = 0, last = 0;
        if (!inkColumns(label.window, first, last)) {
            std::printf("%s: nothing drawn could be read back\n", label.name);
            ++failures;
            continue;
        }
        std::printf("%s: %ls drawn in columns %d..%d of 0..%d (%d columns)\n", label.name, text, first, last,
                    label.width - 1, last - first + 1);
    }
    DestroyWindow(frame);
    DeleteObject(font);
    return failures == 0 ? 0 : 1;
}
