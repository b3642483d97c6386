#include "notifications.h"

#include "dropin_protocol.h"

#include <windows.h>
#include <dbt.h>

#include <vector>

namespace dropin {

namespace {

constexpr UINT notificationTimeoutMs = 120000;   // an update keeps the window busy up to a minute

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    // Wine's hidden IME window belongs to the process too, but is nobody's recipient.
    if (process == GetCurrentProcessId() && GetWindow(window, GW_OWNER) == nullptr && lstrcmpW(className, L"IME") != 0)
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

}

void notifyWindows(bool arrival, const std::wstring& path)
{
    // Windows reports interface paths in upper case; the updater compares them without regard to case.
    std::wstring reported = path;
    for (wchar_t& c : reported)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');

    std::vector<BYTE> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + reported.size() * sizeof(wchar_t));
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    broadcast->dbcc_size = static_cast<DWORD>(buffer.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast->dbcc_classguid = hidClassGuid;
    std::copy(reported.begin(), reported.end(), broadcast->dbcc_name);
    broadcast->dbcc_name[reported.size()] = L'\0';

    std::vector<HWND> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    WPARAM event = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(broadcast), SMTO_NORMAL,
                            notificationTimeoutMs, &result);
    }
}

}
