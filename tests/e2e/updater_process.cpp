#include "updater_process.h"

#include "control_client.h"
#include "ui_driver.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += static_cast<char>(c);
    return result;
}

// This process's environment with the simulation's variables set, for the host.
std::vector<wchar_t> environmentFor(const std::wstring& units, const std::wstring& outFolder)
{
    std::vector<std::wstring> variables = {L"ZEFRAN_SIM_UNITS=" + units, L"ZEFRAN_SIM_OUT=" + outFolder};
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* entry = inherited; *entry != L'\0'; entry += wcslen(entry) + 1) {
        std::wstring variable = entry;
        std::wstring name = variable.substr(0, variable.find(L'=', 1));
        if (name != L"ZEFRAN_SIM_UNITS" && name != L"ZEFRAN_SIM_OUT")
            variables.push_back(variable);
    }
    FreeEnvironmentStringsW(inherited);
    std::vector<wchar_t> block;
    for (const std::wstring& variable : variables) {
        block.insert(block.end(), variable.begin(), variable.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// How many units ZEFRAN_SIM_UNITS attaches at start.
int unitCount(const std::string& units)
{
    if (units == "none")
        return 0;
    return 1 + static_cast<int>(std::count(units.begin(), units.end(), ';'));
}

PROCESS_INFORMATION start(const std::wstring& exe, wchar_t* environment)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, environment,
                   runFolder().c_str(), &startup, &process);
    return process;
}

void end(PROCESS_INFORMATION& process, DWORD graceMs)
{
    if (process.hProcess == nullptr)
        return;
    if (WaitForSingleObject(process.hProcess, graceMs) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
}

std::wstring newOutFolder()
{
    static int runs = 0;
    std::wstring folder = runFolder() + L"\\out";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\run-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}

const std::wstring UpdaterProcess::title = L"BRELVANT ZEFRAN HVI FW Updater 1.18 ";

std::wstring runFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

UpdaterProcess::UpdaterProcess(const std::string& units, const std::wstring& exe) : outFolder_(newOutFolder())
{
    // The updater enumerates once, at start, so it must not start before the units.
    restartHost(units);
    process_ = start(runFolder() + L"\\" + exe, nullptr);
}

void UpdaterProcess::killHost()
{
    if (host_.hProcess != nullptr)
        TerminateProcess(host_.hProcess, 99);
    end(host_, 5000);
}

bool UpdaterProcess::restartHost(const std::string& units)
{
    end(host_, 0);
    environment_ = environmentFor(widen(units), outFolder_);
    std::vector<wchar_t> environment = environment_;
    host_ = start(runFolder() + L"\\zefran-sim-host.exe", environment.data());
    // The host publishes its control pipe once its units are present.
    std::string ready = control("wait " + std::to_string(unitCount(units)));
    if (ready.rfind("error", 0) != 0)
        return true;
    std::fprintf(stderr, "the simulation host is not ready: %s\n", ready.c_str());
    return false;
}

std::string UpdaterProcess::hostLog() const
{
    std::ifstream file(narrow(outFolder_ + L"\\host.log"));
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

UpdaterProcess::~UpdaterProcess()
{
    end(process_, 0);
    control("stop");                        // the host removes its devices, then ends
    end(host_, 30000);
}

HWND UpdaterProcess::window(DWORD timeoutMs)
{
    return ui::waitForDialog(title, timeoutMs, process_.dwProcessId);
}

int UpdaterProcess::waitForExit(DWORD timeoutMs)
{
    if (process_.hProcess == nullptr || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

namespace {

int runToEnd(const std::wstring& exe, wchar_t* environment, DWORD timeoutMs)
{
    PROCESS_INFORMATION other = start(exe, environment);
    if (other.hProcess == nullptr)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(other.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(other.hProcess, &code);
    end(other, 0);
    return static_cast<int>(code);
}

}

int UpdaterProcess::runAnother(DWORD timeoutMs)
{
    return runToEnd(runFolder() + L"\\zefran-hvi-updater.exe", nullptr, timeoutMs);
}

int UpdaterProcess::runSecondHost(DWORD timeoutMs) const
{
    std::vector<wchar_t> environment = environment_;
    return runToEnd(runFolder() + L"\\zefran-sim-host.exe", environment.data(), timeoutMs);
}

std::vector<std::string> UpdaterProcess::transcript(int unit) const
{
    std::ifstream file(narrow(outFolder_ + L"\\unit-" + std::to_wstring(unit) + L".transcript"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::uint8_t> UpdaterProcess::flash(int unit) const
{
    return outFile(L"unit-" + std::to_wstring(unit) + L".flash.bin");
}

std::vector<std::uint8_t> UpdaterProcess::flashTakenOff(int unit, int controller) const
{
    return outFile(L"unit-" + std::to_wstring(unit) + L".controller-" + std::to_wstring(controller) + L".flash.bin");
}

std::vector<std::uint8_t> UpdaterProcess::outFile(const std::wstring& name) const
{
    std::ifstream file(narrow(outFolder_ + L"\\" + name), std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string UpdaterProcess::control(const std::string& request) const
{
    std::string answer;
    if (!host::askSimulation(outFolder_, request, answer))
        return "error no answer";
    return answer.rfind("ok ", 0) == 0 ? answer.substr(3) : answer;
}

int UpdaterProcess::clients(int unit) const
{
    std::string answer = control("clients " + std::to_string(unit));
    return answer.rfind("error", 0) == 0 ? -1 : std::atoi(answer.c_str());
}

}
