// One simulated unit behind a message-mode named pipe whose name looks like a HID interface path.
// Each client is served by a thread of its own, and there is always a listening instance more,
// so that open, close and reopen never meet a busy pipe.
#pragma once

#include "simulated_unit.h"
#include "unit_description.h"

#include <windows.h>

#include <string>
#include <vector>

namespace dropin {

class PipeUnit {
public:
    PipeUnit(int number, const sim::UnitDescription& description, const std::wstring& outFolder);
    ~PipeUnit();
    PipeUnit(const PipeUnit&) = delete;
    PipeUnit& operator=(const PipeUnit&) = delete;

    bool start();                           // creates the first listening instances
    void stop();                            // unplugged: every instance closes, pending I/O fails
    void saveFlash();

    int number() const { return number_; }
    int clients() const { return clients_; }    // handles the updater holds open on the unit now
    const std::wstring& path() const { return path_; }

private:
    struct Instance {
        PipeUnit* unit;
        HANDLE pipe;
    };

    bool addListener();
    static DWORD WINAPI instanceThread(LPVOID parameter);
    void serve(HANDLE pipe);
    bool answer(HANDLE pipe, const BYTE* request, DWORD length);
    void record(const sim::TranscriptEntry& entry);
    void unplugSoon();

    int number_;
    std::wstring path_;
    std::wstring outFolder_;
    sim::SimulatedUnit unit_;
    CRITICAL_SECTION lock_;
    HANDLE stopEvent_;
    HANDLE transcript_ = INVALID_HANDLE_VALUE;
    std::vector<HANDLE> threads_;
    bool stopped_ = false;
    volatile LONG clients_ = 0;
};

double nowMs();

}
