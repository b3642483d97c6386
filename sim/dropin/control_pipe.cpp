#include "control_pipe.h"

#include "units.h"

#include <windows.h>

#include <cstdlib>

namespace dropin {

namespace {

std::wstring pipeName;

DWORD WINAPI controlThread(LPVOID)
{
    for (;;) {
        HANDLE pipe = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            return 1;
        if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
            char request[4096];
            DWORD length = 0;
            if (ReadFile(pipe, request, sizeof request - 1, &length, nullptr)) {
                std::string answer = controlAnswer(std::string(request, length));
                DWORD written = 0;
                WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size()), &written, nullptr);
                FlushFileBuffers(pipe);
            }
        }
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
    }
}

}

std::string controlAnswer(const std::string& request)
{
    std::string error;
    if (request.rfind("attach ", 0) == 0 || request == "attach") {
        sim::UnitDescription description;
        if (!sim::parseUnitDescription(request.size() > 7 ? request.substr(7) : "", description, error))
            return "error " + error;
        int number = attachUnit(description, true, error);
        return number < 0 ? "error " + error : "ok " + std::to_string(number);
    }
    if (request.rfind("detach ", 0) == 0) {
        char* end = nullptr;
        long number = std::strtol(request.c_str() + 7, &end, 10);
        if (end == request.c_str() + 7 || *end != '\0' || !detachUnit(static_cast<int>(number)))
            return "error no unit " + request.substr(7) + " is attached";
        return "ok " + std::to_string(number);
    }
    if (request.rfind("clients ", 0) == 0) {
        int clients = unitClients(std::atoi(request.c_str() + 8));
        return clients < 0 ? "error no unit " + request.substr(8) + " is attached" : "ok " + std::to_string(clients);
    }
    return "error unknown request '" + request + "'";
}

void startControlPipe(const std::wstring& outFolder)
{
    pipeName = L"\\\\.\\pipe\\zefran-sim-" + std::to_wstring(GetCurrentProcessId());
    std::wstring record = outFolder + L"\\control-pipe";
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        std::string name(pipeName.begin(), pipeName.end());
        DWORD written = 0;
        WriteFile(file, name.data(), static_cast<DWORD>(name.size()), &written, nullptr);
        CloseHandle(file);
    }
    HANDLE thread = CreateThread(nullptr, 0, controlThread, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}

}
