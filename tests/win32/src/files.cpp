// kernel32 file calls on HID interface paths: open, one report out, one report in, close.
#include "state.h"

#include <cstdio>

using win32double::HidInterface;
using win32double::detail::fail;
using win32double::detail::FileHandle;
using win32double::detail::isPresent;
using win32double::detail::narrow;
using win32double::detail::state;

namespace {

HidInterface* findPresent(LPCWSTR path)
{
    for (HidInterface& device : state().bus)
        if (isPresent(device) && device.path == path)
            return &device;
    return nullptr;
}

// Common checks of WriteFile and ReadFile; null with the last error set when the call must fail.
FileHandle* usableHandle(HANDLE hFile, LPOVERLAPPED lpOverlapped)
{
    auto found = state().fileHandles.find(hFile);
    if (found == state().fileHandles.end()) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    FileHandle& handle = found->second;
    if (handle.overlapped && lpOverlapped == nullptr) {
        fail(ERROR_INVALID_PARAMETER);      // an overlapped handle needs an OVERLAPPED record
        return nullptr;
    }
    if (!isPresent(*handle.device)) {
        fail(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    if (!handle.device->unit && !handle.device->scripted) {
        fail(ERROR_INVALID_FUNCTION);       // a foreign device: the product has no business here
        return nullptr;
    }
    return &handle;
}

// A WriteFile or ReadFile that fails, journalled; the last error is already set.
BOOL refused(const char* call, DWORD length)
{
    state().journal.push_back(std::string(call) + " " + std::to_string(length) + " failed");
    return FALSE;
}

// After the unit refused a transfer: pulled out, or the transfer itself failed.
BOOL transferFailed(const HidInterface& device, const std::string& call, DWORD length)
{
    fail(!device.unit || device.unit->plugged() ? ERROR_GEN_FAILURE : ERROR_DEVICE_NOT_CONNECTED);
    return refused(call.c_str(), length);
}

// An overlapped transfer starts with its event reset, as Windows resets it.
void beginTransfer(const FileHandle& handle, LPOVERLAPPED overlapped)
{
    if (handle.overlapped) {
        overlapped->Internal = ERROR_IO_PENDING;
        overlapped->InternalHigh = 0;
        ResetEvent(overlapped->hEvent);
    }
}

// A transfer that has not completed when the call returns.
BOOL leftPending(HANDLE file, LPOVERLAPPED overlapped, const std::string& call, std::uint8_t* buffer = nullptr,
                 DWORD length = 0)
{
    state().pendingIo.push_back({file, overlapped, buffer, length});
    state().journal.push_back(call + " pending");
    fail(ERROR_IO_PENDING);
    return FALSE;
}

// A transfer complete at once: on an overlapped handle, its record and event say so too.
BOOL transferred(LPOVERLAPPED overlapped, LPDWORD moved, DWORD length)
{
    if (moved != nullptr)
        *moved = length;
    if (overlapped != nullptr)
        win32double::detail::completeIo(overlapped, 0, length);
    return TRUE;
}

// A write is journalled with the request's command code, so an order of exchanges and waits
// reads as the unit saw it.
std::string writeCall(const std::uint8_t* request)
{
    char code[8];
    std::snprintf(code, sizeof code, "0x%02x", request[1]);
    return std::string("WriteFile ") + code;
}

}

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    HidInterface* device = findPresent(lpFileName);
    bool opened = device != nullptr && device->openable && dwCreationDisposition == OPEN_EXISTING;
    state().createFileCalls.push_back(
        {lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes, opened});
    if (device == nullptr) {
        fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!opened) {
        fail(device->openable ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = win32double::detail::newHandleValue();
    state().fileHandles[handle] = {device, (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0};
    state().journal.push_back("CreateFileW " + narrow(device->path));
    return handle;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten != nullptr)
        *lpNumberOfBytesWritten = 0;
    FileHandle* handle = usableHandle(hFile, lpOverlapped);
    if (handle == nullptr)
        return refused("WriteFile", nNumberOfBytesToWrite);
    HidInterface& device = *handle->device;
    // The HID class driver takes exactly one whole output report, report ID included.
    if (nNumberOfBytesToWrite != device.outputReportLength) {
        fail(ERROR_INVALID_USER_BUFFER);
        return refused("WriteFile", nNumberOfBytesToWrite);
    }
    const auto* request = static_cast<const std::uint8_t*>(lpBuffer);
    std::string call = writeCall(request) + " " + std::to_string(nNumberOfBytesToWrite);
    beginTransfer(*handle, lpOverlapped);
    if (handle->overlapped && device.writesHang)
        return leftPending(hFile, lpOverlapped, call);
    if (device.unit ? !device.unit->write(request, nNumberOfBytesToWrite, static_cast<double>(state().nowMs))
                    : !device.scripted->write(request, nNumberOfBytesToWrite))
        return transferFailed(device, writeCall(request), nNumberOfBytesToWrite);
    state().journal.push_back(call);
    return transferred(lpOverlapped, lpNumberOfBytesWritten, nNumberOfBytesToWrite);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead != nullptr)
        *lpNumberOfBytesRead = 0;
    FileHandle* handle = usableHandle(hFile, lpOverlapped);
    if (handle == nullptr)
        return refused("ReadFile", nNumberOfBytesToRead);
    HidInterface& device = *handle->device;
    // A read returns one whole input report; a smaller buffer is refused.
    if (nNumberOfBytesToRead < device.inputReportLength) {
        fail(ERROR_INVALID_USER_BUFFER);
        return refused("ReadFile", nNumberOfBytesToRead);
    }
    beginTransfer(*handle, lpOverlapped);
    // A unit that took the request and never answers sends no input report: the read waits.
    std::string call = "ReadFile " + std::to_string(nNumberOfBytesToRead);
    auto* reply = static_cast<std::uint8_t*>(lpBuffer);
    if (handle->overlapped && device.unit && device.unit->silent())
        return leftPending(hFile, lpOverlapped, call, reply, nNumberOfBytesToRead);
    if (device.unit ? !device.unit->read(reply, device.inputReportLength, static_cast<double>(state().nowMs))
                    : !device.scripted->read(reply, device.inputReportLength))
        return transferFailed(device, "ReadFile", nNumberOfBytesToRead);
    state().journal.push_back(call);
    return transferred(lpOverlapped, lpNumberOfBytesRead, device.inputReportLength - device.shortReads);
}

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR lpName)
{
    std::wstring name = lpName != nullptr ? lpName : L"";
    state().mutexNames.push_back(name);
    bool exists = !name.empty() && name == state().otherUpdaterLock;
    if (exists && state().otherUpdaterInOtherSession) {
        fail(ERROR_ACCESS_DENIED);          // another user's object, not opened for this one
        return nullptr;
    }
    HANDLE handle = win32double::detail::newHandleValue();
    state().mutexHandles[handle] = name;
    fail(exists ? ERROR_ALREADY_EXISTS : 0);
    return handle;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (state().mutexHandles.erase(hObject) != 0 || state().waitObjects.erase(hObject) != 0)
        return TRUE;
    auto found = state().fileHandles.find(hObject);
    if (found == state().fileHandles.end()) {
        ++state().invalidReleases;
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (const auto& pending : state().pendingIo)
        if (pending.file == hObject)
            ++state().invalidReleases;      // the buffer still belongs to the transfer
    state().journal.push_back("CloseHandle " + narrow(found->second.device->path));
    state().fileHandles.erase(found);
    return TRUE;
}

}
