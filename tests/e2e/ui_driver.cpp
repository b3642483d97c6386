#include "ui_driver.h"

#include <vector>

namespace ui {

namespace {

constexpr DWORD pollMs = 50;
constexpr UINT answerTimeoutMs = 5000;

struct Search {
    const std::wstring* title;
    HWND owner;
    DWORD processId;
    HWND found;
};

bool isDialogClass(HWND window)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770";
}

BOOL CALLBACK matchMessageBox(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!isDialogClass(window) || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Message boxes keep their text in a static with ID 0xFFFF, and their icon in one with ID 20
// on Windows and 1088 under Wine.
constexpr int messageBoxTextId = 0xFFFF;
constexpr int messageBoxIconIds[] = {20, 1088};

BOOL CALLBACK matchDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!isDialogClass(window) || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if ((search->processId != 0 && process != search->processId) || text(window) != *search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

}

namespace {

struct TitleCount {
    const std::wstring* title;
    std::size_t found;
};

// An EnumWindows callback: stdcall on x86, so a named function rather than a lambda.
BOOL CALLBACK countTitled(HWND window, LPARAM parameter)
{
    auto* c = reinterpret_cast<TitleCount*>(parameter);
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    if (IsWindowVisible(window) && *c->title == caption)
        ++c->found;
    return TRUE;
}

}

std::size_t topLevelWindowsTitled(const std::wstring& title)
{
    TitleCount count = {&title, 0};
    EnumWindows(countTitled, reinterpret_cast<LPARAM>(&count));
    return count.found;
}

HWND waitForDialog(const std::wstring& title, DWORD timeoutMs, DWORD processId)
{
    for (DWORD waited = 0;; waited += pollMs) {
        Search search = {&title, nullptr, processId, nullptr};
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

void postClick(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool clickWithMouse(HWND dialog, int id)
{
    RECT rect;
    if (!GetWindowRect(GetDlgItem(dialog, id), &rect))
        return false;
    // Absolute pointer positions run from 0 to 65535 across the primary screen.
    INPUT inputs[3] = {};
    for (INPUT& input : inputs)
        input.type = INPUT_MOUSE;
    inputs[0].mi.dx = ((rect.left + rect.right) / 2) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    inputs[0].mi.dy = ((rect.top + rect.bottom) / 2) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

void postEscape(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void postCloseBox(HWND dialog)
{
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

HWND waitForMessageBox(HWND owner, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += pollMs) {
        Search search = {nullptr, owner, 0, nullptr};
        EnumWindows(matchMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            // A box turns visible before its thread reaches the box's own message loop: wait for
            // the loop, or a query with SMTO_ABORTIFHUNG may fail at once on a thread that read no
            // message for a while.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, answerTimeoutMs, &ignored);
            return search.found;
        }
        if (waited >= timeoutMs)
            return nullptr;
        Sleep(pollMs);
    }
}

MessageBoxView readMessageBox(HWND box)
{
    MessageBoxView view;
    view.caption = text(box);
    view.text = controlText(box, messageBoxTextId);
    DWORD_PTR icon = 0;
    for (int id : messageBoxIconIds) {
        HWND iconControl = GetDlgItem(box, id);
        if (iconControl != nullptr && icon == 0)
            SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, answerTimeoutMs, &icon);
    }
    view.icon = reinterpret_cast<HICON>(icon);
    return view;
}

void answerMessageBox(HWND box, int button)
{
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
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

bool waitForText(HWND dialog, int id, const std::wstring& wanted, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += pollMs) {
        if (controlText(dialog, id) == wanted)
            return true;
        if (waited >= timeoutMs)
            return false;
        Sleep(pollMs);
    }
}

bool clickAndConfirm(HWND dialog, int id)
{
    postClick(dialog, id);
    HWND box = waitForMessageBox(dialog, 10000);
    if (box == nullptr)
        return false;
    answerMessageBox(box, IDOK);
    return waitUntilGone(box, 5000);
}

HWND waitForBoxDuringInit(const std::wstring& title, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += pollMs) {
        HWND dialog = FindWindowW(L"#32770", title.c_str());
        HWND box = dialog == nullptr ? nullptr : waitForMessageBox(dialog, 0);
        if (box != nullptr || waited >= timeoutMs)
            return box;
        Sleep(pollMs);
    }
}

}
