// The answer probe (zefran-answer-probe) run beside a scenario: it measures from another process
// whether the updater's window answers while the scenario goes on.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class AnswerProbeRun {
public:
    // Probes the window for probeMs and sends it WM_QUERYENDSESSION at queryAtMs.
    AnswerProbeRun(HWND window, DWORD probeMs, DWORD queryAtMs);
    ~AnswerProbeRun();
    AnswerProbeRun(const AnswerProbeRun&) = delete;
    AnswerProbeRun& operator=(const AnswerProbeRun&) = delete;

    // Waits for the probe to end: its exit code (-1 when it did not end in time), and what it printed.
    int finish(DWORD timeoutMs, std::string& report);

private:
    std::wstring reportPath_;
    PROCESS_INFORMATION process_ = {};
};

// The number after "key" in the report ("longest wait 12.5 ms": key "longest wait "); -1 when absent.
double reportFigure(const std::string& report, const std::string& key);

}
