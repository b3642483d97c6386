#include "progress_window.h"

#include "app_state.h"
#include "messages.h"
#include "resource.h"

#include <commctrl.h>

namespace {

constexpr const WCHAR* progressClass = L"msctls_progress32";
constexpr int progressWidth = 400;
constexpr int progressHeight = 50;

void raise(HWND window)
{
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}

HWND createProgressWindow()
{
    RECT main;
    GetWindowRect(mainWindow, &main);
    WCHAR title[messageBufferSize];
    loadMessage(IDS_PROGRESS_TITLE, title);
    // Neither child nor pop-up: a window of its own with a title bar, owned by the main window.
    HWND progress = CreateWindowExW(0, progressClass, title, WS_VISIBLE | PBS_SMOOTH,
                                    main.left + ((main.right - main.left) >> 1) - progressWidth / 2,
                                    main.top + ((main.bottom - main.top) >> 1) - progressHeight / 2, progressWidth,
                                    progressHeight, mainWindow, nullptr, appInstance, nullptr);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    raise(mainWindow);
    raise(progress);
    return progress;
}

void setProgress(HWND progress, DWORD total, DWORD remaining)
{
    // Unsigned 32-bit, rounded down: 0 after the first of 2,048 blocks, 100 after the last.
    SendMessageW(progress, PBM_SETPOS, (total - remaining) * 100 / total, 0);
}

void raiseOnce(HWND progress, HWND& lastRaised)
{
    if (lastRaised == mainWindow || lastRaised == progress)
        return;
    HWND foreground = GetForegroundWindow();
    if (foreground != mainWindow && foreground != progress)
        return;
    lastRaised = foreground;
    raise(mainWindow);
    raise(progress);
    ShowWindow(mainWindow, SW_SHOW);
    ShowWindow(progress, SW_SHOW);
}
