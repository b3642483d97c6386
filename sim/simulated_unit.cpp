#include "simulated_unit.h"

#include "loader_errors.h"
#include "reply_noise.h"
#include "request_rules.h"
#include "unit_protocol.h"

#include <algorithm>

namespace sim {

namespace {

// Little-endian into a reply; bytes beyond a short report are simply not sent.
void put(std::vector<std::uint8_t>& reply, std::size_t offset, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width && offset + i < reply.size(); ++i)
        reply[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

const char* faultName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::WriteFails: return "fault:write-fails";
    case FaultKind::ReadFails: return "fault:read-fails";
    case FaultKind::ErrorReply: return "fault:error-reply";
    case FaultKind::StatusByte: return "fault:status-byte";
    case FaultKind::FlaggedReply: return "fault:flagged-reply";
    case FaultKind::Unplug: return "fault:unplugged";
    case FaultKind::NoisyReply: return "fault:noisy-reply";
    case FaultKind::Silent: return "fault:silent";
    }
    return "fault";
}

}

SimulatedUnit::SimulatedUnit(const UnitIdentity& identity, double attachedAtMs)
    : identity_(identity), attachedAtMs_(attachedAtMs), flash_(identity.flashSize, identity.oldFirmwareByte)
{
}

std::vector<std::uint8_t> SimulatedUnit::changeController(const UnitIdentity& controller)
{
    identity_.targetState = controller.targetState;
    identity_.deviceTypeCode = controller.deviceTypeCode;
    identity_.escFirmwareVersion = controller.escFirmwareVersion;
    identity_.bootloaderVersion = controller.bootloaderVersion;
    std::vector<std::uint8_t> takenOff(identity_.flashSize, identity_.oldFirmwareByte);
    flash_.swap(takenOff);
    // The unit's lock is the unit's own; protection, erasure and the address are the controller's.
    writeProtected_ = true;
    erased_ = false;
    addressSet_ = false;
    writePosition_ = 0;
    ++controllersTakenOff_;
    return takenOff;
}

const Fault* SimulatedUnit::faultFor(const std::uint8_t* request, std::size_t length) const
{
    std::uint8_t command = length > 1 ? request[1] : 0;
    for (const FaultRule& rule : faults_) {
        bool hit = (rule.trigger == FaultTrigger::Command && length > 1 && command == rule.match) ||
                   (rule.trigger == FaultTrigger::Exchange && exchanges_ == rule.match) ||
                   (rule.trigger == FaultTrigger::Block && command == writeBlock && blockRequests_ == rule.match);
        if (hit)
            return &rule.fault;
    }
    return nullptr;
}

bool SimulatedUnit::write(const std::uint8_t* data, std::size_t length, double nowMs)
{
    TranscriptEntry& entry = transcript_.emplace_back();
    entry.sequence = ++exchanges_;
    entry.writeMs = nowMs - attachedAtMs_;
    pendingReply_.reset();
    note_.clear();
    silent_ = false;
    if (length > 1 && data[1] == writeBlock)
        ++blockRequests_;

    const Fault* fault = plugged_ ? faultFor(data, length) : nullptr;
    if (fault != nullptr) {
        entry.note = faultName(fault->kind);
        if (fault->kind == FaultKind::Unplug)
            plugged_ = false;
    }
    if (!plugged_ || (fault != nullptr && fault->kind == FaultKind::WriteFails))
        return false;
    if (length != identity_.outputReportLength) {
        entry.note = "wrong-report-length";
        return false;
    }

    entry.writeOk = true;
    entry.request.assign(data, data + length);
    silent_ = fault != nullptr && fault->kind == FaultKind::Silent;
    if (silent_)
        return true;
    pendingReply_ = fault != nullptr ? faultReply(*fault, data, length) : answer(data, length);
    if (!note_.empty())
        entry.note = note_;
    pendingReadFails_ = fault != nullptr && fault->kind == FaultKind::ReadFails;
    return true;
}

SimulatedUnit::Report SimulatedUnit::faultReply(const Fault& fault, const std::uint8_t* request, std::size_t length)
{
    std::uint8_t command = request[1];
    if (fault.kind == FaultKind::ErrorReply) {
        Report reply = errorReply(command, fault.code);
        if (fault.status)
            reply[3] = *fault.status;
        return reply;
    }
    forcedNoise_ = fault.kind == FaultKind::NoisyReply;
    Report reply = answer(request, length);
    forcedNoise_ = false;
    if (fault.kind == FaultKind::NoisyReply && reply[1] != errorFlag && errorFlagUnexamined(command, request[3]))
        reply[1] = errorFlag;
    if (fault.kind == FaultKind::FlaggedReply) {
        std::uint8_t status = reply[3];
        reply = errorReply(command, fault.code);
        reply[3] = status;
    }
    if ((fault.kind == FaultKind::StatusByte || fault.kind == FaultKind::FlaggedReply) && fault.status)
        reply[3] = *fault.status;
    return reply;
}

bool SimulatedUnit::read(std::uint8_t* data, std::size_t length, double nowMs)
{
    if (transcript_.empty() || transcript_.back().readMs)
        transcript_.emplace_back().sequence = ++exchanges_;   // a read with no request before it
    TranscriptEntry& entry = transcript_.back();
    entry.readMs = nowMs - attachedAtMs_;

    // A real unit sends nothing unasked; the host would wait forever. Here the read fails instead.
    bool readable = plugged_ && pendingReply_ && !pendingReadFails_;
    std::optional<Report> reply = std::move(pendingReply_);
    pendingReply_.reset();
    if (!readable)
        return false;

    std::copy_n(reply->begin(), std::min(length, reply->size()), data);
    entry.readOk = true;
    entry.reply = *reply;
    return true;
}

// Every byte starts as noise (or zero); the answer then writes the bytes the host examines.
SimulatedUnit::Report SimulatedUnit::newReply(std::uint8_t command, std::uint8_t parameter) const
{
    Report reply(std::max<std::size_t>(identity_.inputReportLength, headerSize), 0);
    bool noisy = identity_.noise || forcedNoise_;
    if (noisy)
        for (std::size_t i = 0; i < reply.size(); ++i)
            reply[i] = noiseByte(identity_.noiseSeed, exchanges_, i);
    reply[0] = replyReportId;
    reply[1] = noisy ? noiseFlag(identity_.noiseSeed, exchanges_, command) : 0x00;
    if (noisy && errorFlagUnexamined(command, parameter) && noiseSaysErrorFlag(identity_.noiseSeed, exchanges_))
        reply[1] = errorFlag;
    return reply;
}

// The error flag and the code, in the width the command's replies carry it (all of a code that
// does not fit); the data after it is noise. A status byte the host reads starts out as 0.
SimulatedUnit::Report SimulatedUnit::errorReply(std::uint8_t command, std::uint32_t code) const
{
    Report reply = newReply(command, 0);
    reply[1] = errorFlag;
    put(reply, 4, code, hasShortErrorCode(command) && code <= 0xFFFF ? 2 : 4);
    if (hasStatusByte(command))
        reply[3] = 0;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::refuse(std::uint8_t command, std::uint32_t code, const char* reason)
{
    note_ = reason;
    return errorReply(command, code);
}

SimulatedUnit::Report SimulatedUnit::answer(const std::uint8_t* request, std::size_t length)
{
    std::uint8_t command = length > 1 ? request[1] : 0;
    if (auto refusal = malformation(request, length))
        return refuse(command, refusal->code, refusal->reason);
    Report reply = newReply(command, request[3]);
    switch (command) {
    case getStatus: return answerStatus(reply);
    case readMemory: return answerReadMemory(reply);
    case setSystemLock: return answerLock(reply, request[3]);
    case setWriteProtection: return answerProtection(reply, request[3]);
    case eraseFirmware: return answerErase(reply);
    case setWriteAddress: return answerAddress(reply, request);
    case writeBlock: return answerBlock(reply, request);
    case readTargetInfo: return answerTargetInfo(reply);
    case readTargetIdentity: return answerTargetIdentity(reply);
    default: return refuse(command, errorUnknownCommand, "unknown-command");
    }
}

SimulatedUnit::Report SimulatedUnit::answerStatus(Report reply) const
{
    reply[3] = identity_.bootMode;
    if (identity_.bootMode == 0) {
        put(reply, 4, identity_.targetState, 2);
        put(reply, 6, identity_.targetStateExtra, 2);
        put(reply, 8, identity_.unitFirmware, 4);
        put(reply, 12, identity_.unitStatusExtra, 4);
    } else {
        put(reply, 4, identity_.loader.byte1, 1);
        put(reply, 5, identity_.loader.word, 2);
        put(reply, 7, identity_.loader.long1, 4);
        put(reply, 11, identity_.loader.long2, 4);
        put(reply, 15, identity_.loader.byte2, 1);
    }
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerReadMemory(Report reply) const
{
    // The request rules admit only the word where the unit keeps its own version.
    put(reply, 8, identity_.unitFirmware, 4);
    put(reply, 12, identity_.unitStatusExtra, 4);
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerLock(Report reply, std::uint8_t parameter)
{
    locked_ = parameter != 0;
    reply[3] = locked_ ? 1 : 0;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerProtection(Report reply, std::uint8_t parameter)
{
    bool restore = parameter != 0;
    if (!restore && !locked_)
        return refuse(setWriteProtection, errorNotLocked, "not-locked");
    writeProtected_ = restore;
    reply[3] = writeProtected_ ? 1 : 0;
    return reply;
}

const char* SimulatedUnit::refusalToWrite(std::uint32_t& code) const
{
    if (!locked_) {
        code = errorNotLocked;
        return "not-locked";
    }
    if (writeProtected_) {
        code = errorWriteProtected;
        return "write-protected";
    }
    return nullptr;
}

SimulatedUnit::Report SimulatedUnit::answerErase(Report reply)
{
    std::uint32_t code = 0;
    if (const char* reason = refusalToWrite(code))
        return refuse(eraseFirmware, code, reason);
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    erased_ = true;
    addressSet_ = false;
    writePosition_ = 0;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerAddress(Report reply, const std::uint8_t* request)
{
    std::uint32_t code = 0;
    if (const char* reason = refusalToWrite(code))
        return refuse(setWriteAddress, code, reason);
    if (!erased_)
        return refuse(setWriteAddress, errorNotErased, "not-erased");
    addressSet_ = true;
    writePosition_ = readLong(request, 4);
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerBlock(Report reply, const std::uint8_t* request)
{
    std::size_t bytes = request[2];
    std::uint32_t code = 0;
    if (const char* reason = refusalToWrite(code))
        return refuse(writeBlock, code, reason);
    if (!erased_)
        return refuse(writeBlock, errorNotErased, "not-erased");
    if (!addressSet_)
        return refuse(writeBlock, errorNoAddress, "no-address");
    if (writePosition_ + bytes > flash_.size())
        return refuse(writeBlock, errorBeyondFlash, "beyond-flash");
    // Only the announced words are stored; anything after them in the report is padding.
    std::copy_n(request + headerSize, bytes, flash_.begin() + writePosition_);
    writePosition_ += static_cast<std::uint32_t>(bytes);
    ++blocksWritten_;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerTargetInfo(Report reply)
{
    if (identity_.bootMode != 0 || identity_.targetState != targetUpdatable)
        return refuse(readTargetInfo, errorNoController, "no-controller");
    // The controller's 32-byte information block; the installed firmware version at its bytes 4..5.
    put(reply, 4, 32, 4);
    put(reply, 8, identity_.escFirmwareVersion, 2);
    for (std::size_t i = 10; i < 36; ++i)
        put(reply, i, static_cast<std::uint32_t>(0x40 + i), 1);
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerTargetIdentity(Report reply)
{
    if (identity_.bootMode != 0 || identity_.targetState != targetUpdatable)
        return refuse(readTargetIdentity, errorNoController, "no-controller");
    // The controller's 40-byte identity block: type code, loader version, then its serial bytes.
    put(reply, 4, identity_.deviceTypeCode, 4);
    put(reply, 8, identity_.bootloaderVersion, 4);
    for (std::size_t i = 12; i < 44; ++i)
        put(reply, i, static_cast<std::uint32_t>(0x80 + i), 1);
    return reply;
}

}
