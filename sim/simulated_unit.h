// A programming unit with a controller attached, as seen through its HID reports.
// It knows the protocol from the device's side only: it decodes requests by their bytes and
// answers from its own state. Portable C++: the Win32 test double and the Wine drop-in DLLs
// put it behind their HID handles.
#pragma once

#include "faults.h"
#include "unit_identity.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One exchange: a request written and its reply read. A side that failed has no bytes.
struct TranscriptEntry {
    std::uint32_t sequence = 0;             // counting from 1
    std::optional<double> writeMs;          // since the unit was attached; empty: not attempted
    std::optional<double> readMs;
    bool writeOk = false;
    bool readOk = false;
    std::vector<std::uint8_t> request;
    std::vector<std::uint8_t> reply;
    std::string note;                       // why the unit refused the request, or the fault shown; empty: neither
};

class SimulatedUnit {
public:
    explicit SimulatedUnit(const UnitIdentity& identity = {}, double attachedAtMs = 0);

    const UnitIdentity& identity() const { return identity_; }
    void addFault(const FaultRule& rule) { faults_.push_back(rule); }

    // The host's side of the wire; times are the host's clock in milliseconds.
    // write: false when the request does not reach the unit, which is also the fate of a report
    // whose length is not the unit's output report length, as the HID class driver refuses it.
    // read: false when no reply can be read.
    bool write(const std::uint8_t* data, std::size_t length, double nowMs);
    bool read(std::uint8_t* data, std::size_t length, double nowMs);

    void unplug() { plugged_ = false; }
    // The lead goes from one controller to another while the unit stays attached: the target
    // state, type code, firmware and loader versions become those of controller, which has a flash
    // of its own in the old firmware's state. Returns what the controller taken off holds.
    std::vector<std::uint8_t> changeController(const UnitIdentity& controller);
    // How many controllers were taken off the lead before the one on it now.
    std::uint32_t controllersTakenOff() const { return controllersTakenOff_; }
    // The last request was taken and will never be answered (a Silent fault): a host that can
    // block leaves the reader waiting; one that cannot fails the read.
    bool silent() const { return silent_; }
    bool plugged() const { return plugged_; }

    // The controller's flash and the unit's update state.
    const std::vector<std::uint8_t>& flash() const { return flash_; }
    bool locked() const { return locked_; }
    bool writeProtected() const { return writeProtected_; }
    bool erased() const { return erased_; }
    bool addressSet() const { return addressSet_; }
    std::uint32_t writePosition() const { return writePosition_; }
    std::uint32_t blocksWritten() const { return blocksWritten_; }

    const std::vector<TranscriptEntry>& transcript() const { return transcript_; }
    // One line per exchange: sequence, write ms, read ms, request hex, reply hex ("-" for a failed
    // side), then the note when there is one.
    std::string transcriptText() const;
    static std::string transcriptLine(const TranscriptEntry& entry);

private:
    using Report = std::vector<std::uint8_t>;

    const Fault* faultFor(const std::uint8_t* request, std::size_t length) const;
    Report faultReply(const Fault& fault, const std::uint8_t* request, std::size_t length);
    Report answer(const std::uint8_t* request, std::size_t length);
    Report newReply(std::uint8_t command, std::uint8_t parameter) const;
    Report errorReply(std::uint8_t command, std::uint32_t code) const;
    Report refuse(std::uint8_t command, std::uint32_t code, const char* reason);
    Report answerStatus(Report reply) const;
    Report answerReadMemory(Report reply) const;
    Report answerLock(Report reply, std::uint8_t parameter);
    Report answerProtection(Report reply, std::uint8_t parameter);
    Report answerErase(Report reply);
    Report answerAddress(Report reply, const std::uint8_t* request);
    Report answerBlock(Report reply, const std::uint8_t* request);
    Report answerTargetInfo(Report reply);
    Report answerTargetIdentity(Report reply);
    const char* refusalToWrite(std::uint32_t& code) const;

    UnitIdentity identity_;
    double attachedAtMs_;
    std::vector<FaultRule> faults_;
    bool plugged_ = true;

    bool locked_ = false;
    bool writeProtected_ = true;
    bool erased_ = false;
    bool addressSet_ = false;
    std::uint32_t writePosition_ = 0;
    std::uint32_t blocksWritten_ = 0;
    std::vector<std::uint8_t> flash_;
    std::uint32_t controllersTakenOff_ = 0;

    std::uint32_t exchanges_ = 0;
    std::uint32_t blockRequests_ = 0;
    bool silent_ = false;
    bool forcedNoise_ = false;              // a NoisyReply fault: noise whatever the identity says
    std::string note_;                      // for the exchange under way
    std::optional<Report> pendingReply_;
    bool pendingReadFails_ = false;
    std::vector<TranscriptEntry> transcript_;
};

}
