// One simulated unit as the host serves it: the portable unit, the pipe its driver opens when
// the device starts, its transcript and its flash dump.
#pragma once

#include "simulated_unit.h"
#include "unit_description.h"

#include <windows.h>

#include <atomic>
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
    void leave() { leaving_ = true; }       // the device is being removed: its driver lets go
    void stop();                            // the pipe closes; the flash is saved
    void saveFlash();
    // Another controller on the unit's lead (keys as parseControllerChange takes them); the one
    // taken off is saved as unit-<n>.controller-<k>.flash.bin. False, with error, on a bad key.
    bool changeController(const std::string& keys, std::string& error);

    int number() const { return number_; }
    const std::wstring& instanceId() const { return instanceId_; }

private:
    static DWORD WINAPI serveThread(LPVOID self);
    void serve();
    bool serveClient();
    std::vector<BYTE> describe() const;
    unsigned char exchange(const BYTE* report, DWORD length, std::vector<BYTE>& reply, const char* linkNote);
    const sim::LinkFaultRule* linkFaultAt(std::uint32_t exchange) const;
    bool transfer(bool write, BYTE* data, DWORD length);
    void record(const sim::TranscriptEntry& entry, const char* linkNote);
    void goAway(const std::string& why);    // logged, and the unit is removed
    void pullOutOnce();                     // the unit is removed, the first time only
    void saveBytes(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;

    int number_;
    std::wstring instanceId_;
    std::wstring outFolder_;
    std::function<void(int)> pulledOut_;
    sim::SimulatedUnit unit_;
    std::vector<sim::LinkFaultRule> linkFaults_;
    std::uint32_t reports_ = 0;
    std::atomic<bool> leaving_ = false;
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
