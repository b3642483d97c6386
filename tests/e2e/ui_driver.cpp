#include "ui_driver.h"

#include <vector>

namespace ui {

namespace {

constexpr DWORD pollMs = 50;
constexpr UINT answerTimeoutMs = 5000;

struct Search {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    if (text(window) != *search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

}

HWND waitForDialog(const std::wstring& title, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += pollMs) {
        Search search = {&title, nullptr};
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr || waited >= timeoutMs)
            return search.found;
        Sleep(pollMs);
    }
}

std::wstring text(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, answerTimeoutMs, &length))
        return L"<no answer>";
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                        answerTimeoutMs, &copied);
    return std::wstring(buffer.data(), copied);
}

std::wstring controlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? L"<no control>" : text(control);
}

bool controlEnabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowEnabled(control);
}

void postClose(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

bool waitUntilGone(HWND window, DWORD timeoutMs)
{
    for (DWORD waited = 0; IsWindow(window); waited += pollMs) {
        if (waited >= timeoutMs)
            return false;
        Sleep(pollMs);
    }
    return true;
}

}
