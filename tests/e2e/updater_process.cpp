#include "updater_process.h"

#include "control_client.h"
#include "ui_driver.h"

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

// This process's environment with the simulation's variables set. The drop-ins come first for
// the updater alone through the prefix's per-application DLL overrides.
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

UpdaterProcess::UpdaterProcess(const std::string& units) : outFolder_(newOutFolder())
{
    std::wstring exe = runFolder() + L"\\zefran-hvi-updater.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::vector<wchar_t> environment = environmentFor(widen(units), outFolder_);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                   environment.data(), runFolder().c_str(), &startup, &process_);
}

UpdaterProcess::~UpdaterProcess()
{
    if (process_.hProcess == nullptr)
        return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
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
    std::ifstream file(narrow(outFolder_ + L"\\unit-" + std::to_wstring(unit) + L".flash.bin"), std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string UpdaterProcess::control(const std::string& request) const
{
    std::string answer;
    if (!dropin::askSimulation(outFolder_, request, answer))
        return "error no answer";
    return answer.rfind("ok ", 0) == 0 ? answer.substr(3) : answer;
}

int UpdaterProcess::clients(int unit) const
{
    std::string answer = control("clients " + std::to_string(unit));
    return answer.rfind("error", 0) == 0 ? -1 : std::atoi(answer.c_str());
}

}
