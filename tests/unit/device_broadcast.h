// Device-change notifications as the system sends them to the dialog.
#pragma once

#include "win32_double.h"

#include <dbt.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// A DEV_BROADCAST_DEVICEINTERFACE_W with its path, in a buffer of the right size.
inline std::vector<std::uint8_t> broadcast(const std::wstring& path, DWORD deviceType = DBT_DEVTYP_DEVICEINTERFACE)
{
    std::vector<std::uint8_t> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + path.size() * sizeof(WCHAR));
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    record->dbcc_size = static_cast<DWORD>(buffer.size());
    record->dbcc_devicetype = deviceType;
    std::copy(path.begin(), path.end(), record->dbcc_name);
    record->dbcc_name[path.size()] = L'\0';
    return buffer;
}

inline INT_PTR sendDeviceChange(WPARAM event, std::vector<std::uint8_t> record)
{
    return win32double::sendToDialog(WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record.data()));
}
