// One simulated unit as the host serves it: the portable unit, the pipe its driver opens when
// the device starts, its transcript and its flash dump.
#pragma once

#include "simulated_unit.h"
#include "unit_description.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace host {

class HostUnit {
public:
    // pulledOut: called, on a thread of the unit's, when the simulation unplugs the unit.
    HostUnit(int number, const sim::UnitDescription& description, const std::wstring& outFolder,
             std::function<void(int)> pulledOut);
    ~HostUnit();
    HostUnit(const HostUnit&) = delete;
    HostUnit& operator=(const HostUnit&) = delete;

    bool listen();                          // the pipe, before the device exists
    void stop();                            // the pipe closes; the flash is saved
    void saveFlash();

    int number() const { return number_; }
    const std::wstring& instanceId() const { return instanceId_; }

private:
    static DWORD WINAPI serveThread(LPVOID self);
    void serve();
    bool serveClient();
    std::vector<BYTE> describe() const;
    unsigned char exchange(const BYTE* report, DWORD length, std::vector<BYTE>& reply);
    bool transfer(bool write, BYTE* data, DWORD length);
    void record(const sim::TranscriptEntry& entry);

    int number_;
    std::wstring instanceId_;
    std::wstring outFolder_;
    std::function<void(int)> pulledOut_;
    sim::SimulatedUnit unit_;
    CRITICAL_SECTION lock_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE stopEvent_;
    HANDLE ioEvent_;
    HANDLE thread_ = nullptr;
    HANDLE transcript_ = INVALID_HANDLE_VALUE;
    bool pulled_ = false;
};

// Milliseconds on the host's monotonic clock.
double nowMs();

}
