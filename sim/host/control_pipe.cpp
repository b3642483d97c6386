#include "control_pipe.h"

#include "units.h"

#include <windows.h>

#include <cstdlib>

namespace host {

namespace {

constexpr DWORD waitLimitMs = 60000;

HANDLE stopEvent = nullptr;

bool parseNumber(const std::string& text, int& number)
{
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0)
        return false;
    number = static_cast<int>(value);
    return true;
}

std::string waitForUnits(int wanted)
{
    for (DWORD waited = 0; attachedUnits() != wanted; waited += 20) {
        if (waited >= waitLimitMs)
            return "error " + std::to_string(attachedUnits()) + " units are attached, not " + std::to_string(wanted);
        Sleep(20);
    }
    return "ok " + std::to_string(wanted);
}

// The pipe is overlapped, for the listening loop: every transfer on it needs an OVERLAPPED.
bool transfer(HANDLE pipe, bool write, void* data, DWORD length, DWORD& moved)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BOOL started = write ? WriteFile(pipe, data, length, nullptr, &overlapped)
                         : ReadFile(pipe, data, length, nullptr, &overlapped);
    bool ok = (started || GetLastError() == ERROR_IO_PENDING) && GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
    CloseHandle(overlapped.hEvent);
    return ok;
}

DWORD WINAPI clientThread(LPVOID parameter)
{
    HANDLE pipe = parameter;
    char request[4096];
    DWORD length = 0;
    if (transfer(pipe, false, request, sizeof request - 1, length)) {
        bool stop = false;
        std::string answer = controlAnswer(std::string(request, length), stop);
        DWORD written = 0;
        transfer(pipe, true, answer.data(), static_cast<DWORD>(answer.size()), written);
        FlushFileBuffers(pipe);
        if (stop)
            SetEvent(stopEvent);
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return 0;
}

void publish(const std::wstring& outFolder, const std::wstring& pipeName)
{
    std::wstring record = outFolder + L"\\control-pipe";
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string name(pipeName.begin(), pipeName.end());
    DWORD written = 0;
    WriteFile(file, name.data(), static_cast<DWORD>(name.size()), &written, nullptr);
    CloseHandle(file);
}

}

std::string controlAnswer(const std::string& request, bool& stop)
{
    std::string error;
    std::size_t space = request.find(' ');
    std::string verb = request.substr(0, space);
    std::string argument = space == std::string::npos ? "" : request.substr(space + 1);
    int number = 0;
    if (verb == "attach") {
        sim::UnitDescription description;
        if (!sim::parseUnitDescription(argument, description, error))
            return "error " + error;
        int attached = attachUnit(description, error);
        return attached < 0 ? "error " + error : "ok " + std::to_string(attached);
    }
    if (verb == "stop" && argument.empty()) {
        stop = true;
        return detachAllUnits() ? "ok" : "error a unit's device could not be removed (see the host's log)";
    }
    if (verb == "controller") {
        std::size_t keysAt = argument.find(' ');
        if (keysAt == std::string::npos || !parseNumber(argument.substr(0, keysAt), number))
            return "error unknown request '" + request + "'";
        return changeController(number, argument.substr(keysAt + 1), error) ? "ok " + std::to_string(number)
                                                                            : "error " + error;
    }
    if (!parseNumber(argument, number))
        return "error unknown request '" + request + "'";
    if (verb == "detach")
        return detachUnit(number, error) ? "ok " + argument : "error " + error;
    if (verb == "clients") {
        int clients = unitClients(number, error);
        return clients < 0 ? "error " + error : "ok " + std::to_string(clients);
    }
    if (verb == "wait")
        return waitForUnits(number);
    return "error unknown request '" + request + "'";
}

void serveControlPipe(const std::wstring& outFolder)
{
    std::wstring pipeName = L"\\\\.\\pipe\\zefran-sim-host-" + std::to_wstring(GetCurrentProcessId());
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool published = false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
        // One instance per client, each served by a thread: a "wait" does not hold up the others.
        HANDLE pipe = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                       4096, 4096, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            break;
        if (!published) {
            publish(outFolder, pipeName);
            published = true;
        }
        ResetEvent(overlapped.hEvent);
        bool connected = ConnectNamedPipe(pipe, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!connected && GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[2] = {overlapped.hEvent, stopEvent};
            DWORD ignored = 0;
            connected = WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 &&
                        GetOverlappedResult(pipe, &overlapped, &ignored, FALSE);
        }
        if (!connected) {
            CancelIo(pipe);
            CloseHandle(pipe);
            if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0)
                break;
            continue;
        }
        HANDLE thread = CreateThread(nullptr, 0, clientThread, pipe, 0, nullptr);
        if (thread == nullptr)
            CloseHandle(pipe);
        else
            CloseHandle(thread);
    }
    CloseHandle(overlapped.hEvent);
}

}
