#include "unit_handles.h"

#include "root_devices.h"

#include <windows.h>
#include <winternl.h>

#include <map>
#include <string>
#include <vector>

namespace host {

namespace {

constexpr SYSTEM_INFORMATION_CLASS systemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
constexpr OBJECT_INFORMATION_CLASS objectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
constexpr NTSTATUS infoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr NTSTATUS bufferTooSmall = static_cast<NTSTATUS>(0xC0000023);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

std::wstring objectName(HANDLE handle)
{
    std::vector<BYTE> buffer(2048);
    ULONG length = 0;
    if (NtQueryObject(handle, objectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) != 0)
        return L"";
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    return name->Buffer == nullptr ? L"" : std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
}

// The system's handle table; false when it cannot be read.
bool systemHandles(std::vector<HandleEntry>& handles)
{
    std::vector<BYTE> buffer(1 << 20);
    for (;;) {
        ULONG length = 0;
        NTSTATUS status = NtQuerySystemInformation(systemExtendedHandleInformation, buffer.data(),
                                                   static_cast<ULONG>(buffer.size()), &length);
        if (status == infoLengthMismatch || status == bufferTooSmall) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return false;
        const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
        handles.assign(table->entries, table->entries + table->count);
        return true;
    }
}

bool isUpdater(HANDLE process)
{
    wchar_t image[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, image, &length))
        return false;
    std::wstring name(image, length);
    std::wstring tail = L"\\zefran-hvi-updater.exe";
    return name.size() >= tail.size() && _wcsicmp(name.c_str() + name.size() - tail.size(), tail.c_str()) == 0;
}

std::string lastErrorText(const char* what)
{
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

// The updater's processes, each opened to duplicate its handles; false when one cannot be.
bool updaterProcesses(const std::vector<HandleEntry>& handles, std::map<ULONG_PTR, HANDLE>& processes,
                      std::string& error)
{
    for (const HandleEntry& entry : handles) {
        if (entry.processId == GetCurrentProcessId() || processes.count(entry.processId) != 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     static_cast<DWORD>(entry.processId));
        if (process != nullptr && isUpdater(process)) {
            processes[entry.processId] = process;
        } else if (process != nullptr) {
            CloseHandle(process);
        }
    }
    if (processes.empty())
        error = "no zefran-hvi-updater.exe process holds any handle: nothing to count";
    return !processes.empty();
}

// Of the updater's handles of this type, those whose object is named so.
bool countNamed(const std::vector<HandleEntry>& handles, const std::map<ULONG_PTR, HANDLE>& processes, USHORT type,
                const std::wstring& name, int& count, std::string& error)
{
    for (const HandleEntry& entry : handles) {
        auto process = processes.find(entry.processId);
        if (process == processes.end() || entry.objectTypeIndex != type)
            continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process->second, reinterpret_cast<HANDLE>(entry.handle), GetCurrentProcess(), &copy, 0,
                             FALSE, DUPLICATE_SAME_ACCESS)) {
            error = lastErrorText(("cannot duplicate handle " + std::to_string(entry.handle) + " of process " +
                                   std::to_string(entry.processId)).c_str());
            return false;
        }
        count += objectName(copy) == name ? 1 : 0;
        CloseHandle(copy);
    }
    return true;
}

}

int updaterHandlesOn(const std::wstring& instanceId, std::string& error)
{
    std::wstring path = presentInterfacePath(instanceId);
    if (path.empty()) {
        error = "the unit's HID interface is not present";
        return -1;
    }
    HANDLE own = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        error = lastErrorText("cannot open the unit's HID interface");
        return -1;
    }
    std::wstring name = objectName(own);
    std::vector<HandleEntry> handles;
    USHORT fileType = 0;
    bool typed = false;
    if (!name.empty() && systemHandles(handles))
        for (const HandleEntry& entry : handles)
            if (entry.processId == GetCurrentProcessId() && entry.handle == reinterpret_cast<ULONG_PTR>(own)) {
                fileType = entry.objectTypeIndex;
                typed = true;
            }
    int count = 0;
    std::map<ULONG_PTR, HANDLE> processes;
    bool counted = false;
    if (name.empty())
        error = "the unit's HID interface has no object name";
    else if (!typed)
        error = "the system's handle table cannot be read, or lacks the host's own handle";
    else
        counted = updaterProcesses(handles, processes, error) && countNamed(handles, processes, fileType, name, count, error);
    for (auto& [id, process] : processes)
        CloseHandle(process);
    CloseHandle(own);
    return counted ? count : -1;
}

}
