// user32 and comctl32: a headless model of the dialog, its controls and message boxes.
#include "state.h"

#include <cstdio>

#include <commctrl.h>
#include <dbt.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdint>

using win32double::Window;
using win32double::detail::fail;
using win32double::detail::state;

namespace {

Window* find(HWND handle)
{
    for (Window& window : state().windows)
        if (window.handle == handle && handle != nullptr)
            return &window;
    return nullptr;
}

Window* childOf(HWND dialog, int id)
{
    for (Window& window : state().windows)
        if (window.parent == dialog && dialog != nullptr && window.id == id && !window.destroyed)
            return &window;
    return nullptr;
}

using win32double::detail::journalName;

std::wstring className(const win32double::TemplateName& name)
{
    switch (name.ordinal) {
    case 0x0080: return L"Button";
    case 0x0081: return L"Edit";
    case 0x0082: return L"Static";
    default: return name.name;
    }
}

Window& createWindow(HWND parent, int id, const std::wstring& windowClass, const std::wstring& text, DWORD style,
                     DWORD exStyle)
{
    Window& window = state().windows.emplace_back();
    window.handle = static_cast<HWND>(win32double::detail::newHandleValue());
    window.parent = parent;
    window.id = id;
    window.className = windowClass;
    window.text = text;
    window.style = style;
    window.exStyle = exStyle;
    window.enabled = !(style & WS_DISABLED);
    window.visible = (style & WS_VISIBLE) != 0;
    return window;
}

// Dialog units to pixels for an 8-point dialog font: 6 x 13 pixel base units.
RECT controlRect(const RECT& dialog, const win32double::DialogItemTemplate& item)
{
    LONG left = dialog.left + win32double::dialogFrameWidth + item.x * 6 / 4;
    LONG top = dialog.top + win32double::captionHeight + item.y * 13 / 8;
    return {left, top, left + item.cx * 6 / 4, top + item.cy * 13 / 8};
}

void destroyDialog(Window& dialog)
{
    for (Window& window : state().windows)
        if (window.parent == dialog.handle || window.handle == dialog.handle) {
            window.destroyed = true;
            window.visible = false;
        }
}

// The dialog as it is while its modal loop runs: one script of user actions.
void runModalLoop(Window& dialog)
{
    dialog.visible = dialog.everShown = true;   // the dialog manager shows it after WM_INITDIALOG
    auto script = std::move(state().dialogScript);
    state().dialogScript = nullptr;
    if (script)
        script(dialog.handle);
    if (!find(dialog.handle)->ended) {
        state().dialogLeftRunning = true;
        Window* still = find(dialog.handle);
        still->ended = true;
        still->result = -1;
    }
}

}

namespace win32double {

namespace detail {

std::string journalName(const Window& window)
{
    if (window.dialogProc != nullptr)
        return "dialog";
    if (window.foreign)
        return "another program";
    if (window.parent != nullptr)
        return std::to_string(window.id);
    return narrow(window.className);
}

}

const Window* topLevelWindow(const std::wstring& windowClass)
{
    for (auto window = state().windows.rbegin(); window != state().windows.rend(); ++window)
        if (window->parent == nullptr && window->className == windowClass)
            return &*window;
    return nullptr;
}

void setWindowRect(HWND handle, RECT rect)
{
    if (Window* window = find(handle))
        window->rect = rect;
}

void setForegroundWindow(HWND window)
{
    state().foreground = window;
}

HWND runAnotherUpdater(const std::wstring& lockName, bool otherSession)
{
    state().otherUpdaterLock = lockName;
    state().otherUpdaterInOtherSession = otherSession;
    if (otherSession)
        return nullptr;
    Window& other = createWindow(nullptr, 0, L"#32770", L"BRELVANT ZEFRAN HVI FW Updater 1.18 ", WS_VISIBLE, 0);
    other.foreign = true;
    return other.handle;
}

const std::vector<std::wstring>& mutexNames()
{
    return state().mutexNames;
}

void whileSleeping(std::function<void(std::size_t sleeps)> action)
{
    state().sleepAction = std::move(action);
}

void whileMessageBoxShown(std::function<void(const MessageBoxCall&)> action)
{
    state().messageBoxAction = std::move(action);
}

const Window* findWindow(HWND handle)
{
    return find(handle);
}

Window* detail::findWindow(HWND handle)
{
    return find(handle);
}

const Window* lastDialog()
{
    for (auto window = state().windows.rbegin(); window != state().windows.rend(); ++window)
        if (window->dialogProc != nullptr)
            return &*window;
    return nullptr;
}

const Window* control(int id)
{
    const Window* dialog = lastDialog();
    if (dialog == nullptr)
        return nullptr;
    for (const Window& window : state().windows)
        if (window.parent == dialog->handle && window.id == id)
            return &window;
    return nullptr;
}

std::wstring controlText(int id)
{
    const Window* window = control(id);
    return window == nullptr ? L"<no control " + std::to_wstring(id) + L">" : window->text;
}

bool controlEnabled(int id)
{
    const Window* window = control(id);
    return window != nullptr && window->enabled;
}

void whileDialogRuns(std::function<void(HWND)> script)
{
    state().dialogScript = std::move(script);
}

bool dialogLeftRunning()
{
    return state().dialogLeftRunning;
}

INT_PTR sendToDialog(UINT message, WPARAM wParam, LPARAM lParam)
{
    const Window* dialog = lastDialog();
    if (dialog == nullptr || dialog->ended || dialog->destroyed)
        return 0;
    ++state().dispatchDepth;
    INT_PTR result = dialog->dialogProc(dialog->handle, message, wParam, lParam);
    if (--state().dispatchDepth == 0)
        win32double::detail::runDialogLoop();
    return result;
}

bool pressButton(int id)
{
    const Window* button = control(id);
    if (button == nullptr || !button->enabled || !button->visible || button->destroyed)
        return false;
    sendToDialog(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button->handle));
    return true;
}

void pressEscape()
{
    sendToDialog(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void clickCloseBox()
{
    if (!sendToDialog(WM_CLOSE, 0, 0))
        pressEscape();                      // what the default dialog procedure makes of WM_CLOSE
}

const std::vector<MessageBoxCall>& messageBoxes()
{
    return state().messageBoxes;
}

void answerMessageBoxes(std::vector<int> answers)
{
    state().messageBoxAnswers = std::move(answers);
}

const std::vector<NotificationRegistration>& notificationRegistrations()
{
    return state().registrations;
}

void failNotificationRegistration()
{
    state().registrationFails = true;
}

bool commonControlsInitialised()
{
    return state().commonControlsInitialised;
}

}

extern "C" {

void WINAPI InitCommonControls(void)
{
    state().commonControlsInitialised = true;
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    win32double::DialogTemplate t = win32double::parseDialogTemplate(hDialogTemplate, 0x10000);
    Window& created = createWindow(nullptr, 0, L"#32770", t.caption, t.style & ~WS_VISIBLE, t.exStyle);
    created.dialogProc = lpDialogFunc;
    created.parent = nullptr;
    created.rect = {100, 100, 700, 580};
    HWND dialog = created.handle;
    (void)hWndParent;
    for (const auto& item : t.items)
        createWindow(dialog, static_cast<int>(item.id), className(item.windowClass), item.title.name, item.style,
                     item.exStyle)
            .rect = controlRect(created.rect, item);
    state().journal.push_back("DialogBoxIndirectParamW");

    lpDialogFunc(dialog, WM_INITDIALOG, 0, dwInitParam);
    if (!find(dialog)->ended)
        runModalLoop(*find(dialog));
    Window& ended = *find(dialog);
    destroyDialog(ended);
    return ended.result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    Window* dialog = find(hDlg);
    if (dialog == nullptr || dialog->dialogProc == nullptr) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = nResult;
    state().journal.push_back("EndDialog " + std::to_string(nResult));
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    Window* window = childOf(hDlg, nIDDlgItem);
    if (window == nullptr)
        fail(ERROR_INVALID_PARAMETER);
    return window == nullptr ? nullptr : window->handle;
}

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    Window* window = find(hWnd);
    if (window == nullptr || window->destroyed) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    window->text = lpString == nullptr ? L"" : lpString;
    state().journal.push_back("SetWindowTextW " + journalName(*window));
    return TRUE;
}

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    return SetWindowTextW(GetDlgItem(hDlg, nIDDlgItem), lpString);
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    Window* window = find(hWnd);
    if (window == nullptr || nMaxCount <= 0)
        return 0;
    std::size_t copied = std::min(window->text.size(), static_cast<std::size_t>(nMaxCount - 1));
    std::copy_n(window->text.begin(), copied, lpString);
    lpString[copied] = L'\0';
    return static_cast<int>(copied);
}

int WINAPI GetWindowTextLengthW(HWND hWnd)
{
    Window* window = find(hWnd);
    return window == nullptr ? 0 : static_cast<int>(window->text.size());
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* window = find(hWnd);
    if (window == nullptr)
        return 0;
    switch (Msg) {
    case PBM_SETPOS:
        if (window->className != L"msctls_progress32")
            break;
        window->progressPositions.push_back(static_cast<UINT>(wParam));
        return 0;
    case WM_SETTEXT: return SetWindowTextW(hWnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return GetWindowTextW(hWnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: return GetWindowTextLengthW(hWnd);
    default: break;
    }
    if (window->dialogProc != nullptr && !window->ended)
        return window->dialogProc(hWnd, Msg, wParam, lParam);
    return 0;
}

// A window's system menu is named by the window's own handle.
HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL)
{
    return find(hWnd) != nullptr ? reinterpret_cast<HMENU>(hWnd) : nullptr;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    Window* window = find(reinterpret_cast<HWND>(hMenu));
    if (window == nullptr || (uEnable & 0x400u) != 0 || uIDEnableItem != SC_CLOSE)
        return -1;                          // only the Close item, by command, is modelled
    BOOL wasGreyed = window->systemCloseGreyed ? MF_GRAYED : MF_ENABLED;
    window->systemCloseGreyed = (uEnable & MF_GRAYED) != 0;
    char line[64];
    std::snprintf(line, sizeof line, " 0x%x 0x%x", uIDEnableItem, uEnable);
    state().journal.push_back("EnableMenuItem " + journalName(*window) + line);
    return wasGreyed;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Window* window = find(hWnd);
    if (window == nullptr)
        return FALSE;
    BOOL wasDisabled = window->enabled ? FALSE : TRUE;
    window->enabled = bEnable != FALSE;
    state().journal.push_back("EnableWindow " + journalName(*window) + (bEnable ? " 1" : " 0"));
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    Window* window = find(hWnd);
    return window != nullptr && window->enabled ? TRUE : FALSE;
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    int answer = (uType & 0xF) == MB_YESNO ? IDYES : IDOK;
    if (!state().messageBoxAnswers.empty()) {
        answer = state().messageBoxAnswers.front();
        state().messageBoxAnswers.erase(state().messageBoxAnswers.begin());
    }
    state().messageBoxes.push_back({hWnd, lpText, lpCaption == nullptr ? L"Error" : lpCaption, uType, answer});
    state().journal.push_back("MessageBoxW");
    // The box's modal loop dispatches what arrives meanwhile, device notifications included.
    win32double::detail::deliverPendingSends();
    if (state().messageBoxAction) {
        win32double::MessageBoxCall shown = state().messageBoxes.back();
        auto action = state().messageBoxAction;
        action(shown);
    }
    return answer;
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
    if (FindResourceW(hInstance, lpIconName, RT_GROUP_ICON) == nullptr)
        return nullptr;
    return reinterpret_cast<HICON>(0x1C0000 + reinterpret_cast<ULONG_PTR>(lpIconName));
}

ULONG_PTR WINAPI SetClassLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    Window* window = find(hWnd);
    if (window == nullptr || nIndex != GCLP_HICON)
        return 0;
    LONG_PTR previous = window->classIcon;
    window->classIcon = dwNewLong;
    return static_cast<ULONG_PTR>(previous);
}

HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags)
{
    state().journal.push_back("RegisterDeviceNotificationW");
    if (state().registrationFails) {
        fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(NotificationFilter);
    state().registrations.push_back(
        {hRecipient, filter->dbcc_size, filter->dbcc_devicetype, filter->dbcc_classguid, Flags, true});
    return reinterpret_cast<HDEVNOTIFY>(state().registrations.size());
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle)
{
    auto index = reinterpret_cast<std::size_t>(Handle);
    if (index == 0 || index > state().registrations.size() || !state().registrations[index - 1].open) {
        ++state().invalidReleases;
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    state().registrations[index - 1].open = false;
    state().journal.push_back("UnregisterDeviceNotification");
    return TRUE;
}

}

extern "C" {


HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, void*, HINSTANCE, LPVOID)
{
    bool child = (dwStyle & WS_CHILD) != 0;
    Window& window = createWindow(child ? hWndParent : nullptr, 0, lpClassName, lpWindowName ? lpWindowName : L"",
                                  dwStyle, dwExStyle);
    window.owner = child ? nullptr : hWndParent;
    window.rect = {X, Y, X + nWidth, Y + nHeight};
    window.everShown = window.visible;
    state().journal.push_back("CreateWindowExW " + win32double::detail::narrow(lpClassName));
    return window.handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    Window* window = find(hWnd);
    if (window == nullptr || window->destroyed) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    window->destroyed = true;
    window->visible = false;
    state().journal.push_back("DestroyWindow " + journalName(*window));
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window* window = find(hWnd);
    if (window == nullptr)
        return FALSE;
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = window->everShown = true;
    state().journal.push_back("ShowWindow " + journalName(*window) + " " + std::to_string(nCmdShow));
    return wasVisible;
}


// Moves and sizes as asked unless told not to; a place in the Z order other than the top is
// journalled, since a window put anywhere else would not come to the front.
BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags)
{
    Window* window = find(hWnd);
    if (window == nullptr)
        return FALSE;
    RECT& rect = window->rect;
    if ((uFlags & SWP_NOMOVE) == 0) {
        rect = {X, Y, X + rect.right - rect.left, Y + rect.bottom - rect.top};
    }
    if ((uFlags & SWP_NOSIZE) == 0) {
        rect.right = rect.left + cx;
        rect.bottom = rect.top + cy;
    }
    std::string place = hWndInsertAfter == HWND_TOP ? "" : " after " + std::to_string(reinterpret_cast<std::intptr_t>(hWndInsertAfter));
    state().journal.push_back("SetWindowPos " + journalName(*window) + place);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void)
{
    return state().foreground;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    if (find(hWnd) == nullptr)
        return FALSE;
    state().foreground = hWnd;
    state().journal.push_back("SetForegroundWindow " + journalName(*find(hWnd)));
    return TRUE;
}

// Top-level windows of this class and title, not destroyed; a null class or title matches any.
HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName)
{
    for (const Window& window : state().windows)
        if (window.parent == nullptr && !window.destroyed &&
            (lpClassName == nullptr || window.className == lpClassName) &&
            (lpWindowName == nullptr || window.text == lpWindowName))
            return window.handle;
    return nullptr;
}

// No window here owns a popup of its own but the message boxes, which the double does not keep.
HWND WINAPI GetLastActivePopup(HWND hWnd)
{
    return hWnd;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    Window* window = find(hWnd);
    if (window == nullptr) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpRect = window->rect;
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex) {
    case SM_CXDLGFRAME: return win32double::dialogFrameWidth;
    case SM_CYCAPTION: return win32double::captionHeight;
    default: return 0;
    }
}

DWORD WINAPI GetSysColor(int nIndex)
{
    return nIndex == COLOR_BTNFACE ? win32double::buttonFaceColor : 0;
}

}
