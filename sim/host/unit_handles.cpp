#include "unit_handles.h"

#include "root_devices.h"

#include <windows.h>
#include <winternl.h>

#include <map>
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

std::vector<HandleEntry> systemHandles()
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
            return {};
        const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
        return std::vector<HandleEntry>(table->entries, table->entries + table->count);
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

}

int updaterHandlesOn(const std::wstring& instanceId)
{
    std::wstring path = presentInterfacePath(instanceId);
    HANDLE own = path.empty() ? INVALID_HANDLE_VALUE
                              : CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (own == INVALID_HANDLE_VALUE)
        return 0;                           // no interface: nobody can hold it
    std::wstring name = objectName(own);
    std::vector<HandleEntry> handles = systemHandles();
    USHORT fileType = 0;
    for (const HandleEntry& entry : handles)
        if (entry.processId == GetCurrentProcessId() && entry.handle == reinterpret_cast<ULONG_PTR>(own))
            fileType = entry.objectTypeIndex;

    int count = 0;
    std::map<ULONG_PTR, HANDLE> processes;
    for (const HandleEntry& entry : handles) {
        if (entry.processId == GetCurrentProcessId() || entry.objectTypeIndex != fileType || name.empty())
            continue;
        auto found = processes.find(entry.processId);
        if (found == processes.end()) {
            HANDLE process = OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         static_cast<DWORD>(entry.processId));
            if (process != nullptr && !isUpdater(process)) {
                CloseHandle(process);
                process = nullptr;
            }
            found = processes.emplace(entry.processId, process).first;
        }
        HANDLE copy = nullptr;
        if (found->second == nullptr ||
            !DuplicateHandle(found->second, reinterpret_cast<HANDLE>(entry.handle), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            continue;
        count += objectName(copy) == name ? 1 : 0;
        CloseHandle(copy);
    }
    for (auto& [id, process] : processes)
        if (process != nullptr)
            CloseHandle(process);
    CloseHandle(own);
    return count;
}

}
