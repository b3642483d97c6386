#include "answer_probe_run.h"

#include "updater_process.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

AnswerProbeRun::AnswerProbeRun(HWND window, DWORD probeMs, DWORD queryAtMs)
{
    static int runs = 0;
    reportPath_ = runFolder() + L"\\answer-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++runs) + L".txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE report = CreateFileW(reportPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    wchar_t handle[32];
    std::swprintf(handle, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    std::wstring exe = runFolder() + L"\\zefran-answer-probe.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + handle + L" " + std::to_wstring(probeMs) + L" " +
                               std::to_wstring(queryAtMs);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = report;
    startup.hStdError = report;
    CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, runFolder().c_str(), &startup,
                   &process_);
    CloseHandle(report);
}

AnswerProbeRun::~AnswerProbeRun()
{
    std::string ignored;
    finish(0, ignored);
}

int AnswerProbeRun::finish(DWORD timeoutMs, std::string& report)
{
    if (process_.hProcess == nullptr)
        return -1;
    int code = -1;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(process_.hProcess, &exitCode);
        code = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    report.clear();
    HANDLE file = CreateFileW(reportPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char chunk[4096];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read != 0)
        report.append(chunk, read);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return code;
}

double reportFigure(const std::string& report, const std::string& key)
{
    std::size_t at = report.find(key);
    if (at == std::string::npos)
        return -1;
    return std::strtod(report.c_str() + at + key.size(), nullptr);
}

}
