// Helpers for driving an update through the double: the unit, the image it should receive,
// the commands it saw and device-change broadcasts.
#pragma once

#include "app_fixture.h"
#include "fault_helpers.h"

#include <dbt.h>

#include <vector>

// The image the catalogue names, as the compiled resources hold it.
inline std::vector<std::uint8_t> storedImage(WORD id)
{
    const auto* image = compiledResource(10, id, german);
    return image == nullptr ? std::vector<std::uint8_t>() : image->data;
}

// The command codes the unit received after identification, in order.
inline std::vector<std::uint8_t> commandsAfterIdentification(const sim::SimulatedUnit& unit)
{
    std::vector<std::uint8_t> commands;
    const auto& transcript = unit.transcript();
    for (std::size_t i = 3; i < transcript.size(); ++i)
        commands.push_back(transcript[i].writeOk ? transcript[i].request[1] : 0);
    return commands;
}

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

inline std::wstring upperCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}
