#include "single_updater.h"

#include "app_state.h"
#include "main_dialog.h"

namespace {

// In the global namespace, so that two users logged on to one PC (fast user switching, a remote
// session) cannot both hold a unit. A standard user may create a mutex there; only sections and
// symbolic links need a privilege.
constexpr const WCHAR* updaterLockName = L"Global\\ZEFRAN-HVI-Updater.OneAtATime";
constexpr const WCHAR* dialogClass = L"#32770";

// The first updater's window, or the box it shows, comes to the front. In another logon session
// there is no window to find, and nothing to do.
void bringFirstUpdaterToFront()
{
    WCHAR title[titleBufferSize];
    formatTitle(title);
    HWND first = FindWindowW(dialogClass, title);
    if (first != nullptr)
        SetForegroundWindow(GetLastActivePopup(first));
}

}

bool takeUpdaterLock(HANDLE& lock)
{
    lock = CreateMutexW(nullptr, FALSE, updaterLockName);
    DWORD error = GetLastError();
    if (lock != nullptr && error == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        lock = nullptr;
        bringFirstUpdaterToFront();
        return false;
    }
    // Another user's updater holds it: its mutex is not ours to open.
    if (lock == nullptr && error == ERROR_ACCESS_DENIED)
        return false;
    // No lock could be made for another reason: the updater runs unguarded rather than not at all.
    return true;
}
