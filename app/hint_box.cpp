#include "hint_box.h"

#include "app_state.h"
#include "literals.h"
#include "messages.h"
#include "resource.h"

#include <strsafe.h>

void showHint(UINT messageId)
{
    WCHAR message[messageBufferSize];
    loadMessage(messageId, message);
    StringCchCatW(message, messageBufferSize, hintSeparator);
    HWND box = GetDlgItem(mainWindow, IDC_HINT);
    SetWindowTextW(box, message);

    // The instructions are appended to what the box now holds, in a buffer sized for both.
    int instructionsLength = loadMessage(IDS_HINT_INSTRUCTIONS, message);
    SIZE_T size = static_cast<SIZE_T>(GetWindowTextLengthW(box)) + static_cast<SIZE_T>(instructionsLength) + 1;
    auto* composed = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(WCHAR)));
    if (composed == nullptr)
        return;                     // the box keeps the status message without the instructions
    GetWindowTextW(box, composed, static_cast<int>(size));
    StringCchCatW(composed, size, message);
    SetWindowTextW(box, composed);
    HeapFree(GetProcessHeap(), 0, composed);
}

void setHint(UINT messageId)
{
    WCHAR message[messageBufferSize];
    loadMessage(messageId, message);
    SetWindowTextW(GetDlgItem(mainWindow, IDC_HINT), message);
}

void clearHint()
{
    SetWindowTextW(GetDlgItem(mainWindow, IDC_HINT), L"");
}
