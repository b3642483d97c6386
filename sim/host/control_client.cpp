#include "control_client.h"

#include <windows.h>

namespace host {

namespace {

std::string controlPipeName(const std::wstring& outFolder)
{
    HANDLE file = CreateFileW((outFolder + L"\\control-pipe").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    char name[MAX_PATH] = {};
    DWORD length = 0;
    ReadFile(file, name, MAX_PATH - 1, &length, nullptr);
    CloseHandle(file);
    return std::string(name, length);
}

}

std::wstring simulationOutFolder()
{
    wchar_t value[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ZEFRAN_SIM_OUT", value, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        return value;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"zefran-sim";
}

bool askSimulation(const std::wstring& outFolder, const std::string& request, std::string& answer)
{
    // The host may not have published its pipe yet (it does once its units are present), or a
    // leftover record may name a host that has gone: up to 60 s.
    for (int attempt = 0; attempt < 600; ++attempt) {
        std::string pipeName = controlPipeName(outFolder);
        HANDLE pipe = pipeName.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileA(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            Sleep(100);
            continue;
        }
        DWORD transferred = 0;
        char reply[4096];
        bool ok = WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &transferred, nullptr) &&
                  ReadFile(pipe, reply, sizeof reply, &transferred, nullptr);
        CloseHandle(pipe);
        if (ok)
            answer.assign(reply, transferred);
        return ok;
    }
    return false;
}

}
