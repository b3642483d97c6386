#include "host_log.h"

#include <windows.h>

#include <cstdio>

namespace host {

namespace {

SRWLOCK logLock = SRWLOCK_INIT;
std::wstring logPath;

}

void setLogFolder(const std::wstring& folder)
{
    AcquireSRWLockExclusive(&logLock);
    logPath = folder + L"\\host.log";
    ReleaseSRWLockExclusive(&logLock);
}

void logLine(const std::string& line)
{
    std::string text = "zefran-sim-host: " + line + "\n";
    AcquireSRWLockExclusive(&logLock);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    HANDLE file = logPath.empty() ? INVALID_HANDLE_VALUE
                                  : CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    ReleaseSRWLockExclusive(&logLock);
}

}
