// The real updater started under Wine with simulated units, for one end-to-end scenario: first
// the simulation host, which makes each unit a HID device of the prefix, then, once the units
// are present, the unmodified updater, which finds them through Wine's own HID stack.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

class UpdaterProcess {
public:
    // units: ZEFRAN_SIM_UNITS ("none", or unit descriptions separated by ';'). The updater shares the
    // tests' user interface language: Wine takes LC_ALL from the Unix environment, not from a
    // Windows environment block. exe: the updater's file in the run folder.
    explicit UpdaterProcess(const std::string& units, const std::wstring& exe = L"zefran-hvi-updater.exe");
    ~UpdaterProcess();                      // ends an updater the scenario left running, then the host
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    HWND window(DWORD timeoutMs = 30000);   // the main dialog, found by its exact title
    int waitForExit(DWORD timeoutMs = 15000);   // the exit code; -1 when it did not end in time

    // The simulation's record of unit n.
    std::vector<std::string> transcript(int unit) const;
    std::vector<std::uint8_t> flash(int unit) const;
    // What the kth controller taken off unit n's lead holds (k from 0).
    std::vector<std::uint8_t> flashTakenOff(int unit, int controller) const;
    std::vector<std::uint8_t> outFile(const std::wstring& name) const;   // a file of the simulation's output folder
    // Asks the host: "attach <description>", "detach <n>", "clients <n>", "wait <n>"; the answer
    // after "ok ", or "error ...".
    std::string control(const std::string& request) const;
    int clients(int unit) const;            // handles the updater holds open on unit n
    // Starts another updater beside this one and waits for it to end: its exit code, or -1 when
    // it was still running after timeoutMs (it is then ended).
    static int runAnother(DWORD timeoutMs);
    // Starts a second simulation host with this one's environment and waits for it to end, as
    // runAnother does.
    int runSecondHost(DWORD timeoutMs) const;
    // Ends the host as a crash would, removing nothing; then a new one on the same prefix and out
    // folder, ready once its units are present.
    void killHost();
    bool restartHost(const std::string& units);
    std::string hostLog() const;            // what the host logged, every line

    static const std::wstring title;

    DWORD processId() const { return process_.dwProcessId; }

private:
    std::wstring outFolder_;
    std::vector<wchar_t> environment_;
    PROCESS_INFORMATION host_ = {};
    PROCESS_INFORMATION process_ = {};
};

// The folder the tests run from, which holds the updater, the simulation host and zefran-sim-ctl.
std::wstring runFolder();

}
