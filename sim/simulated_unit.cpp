#include "simulated_unit.h"

#include "loader_errors.h"

#include <algorithm>

namespace sim {

namespace {

// The protocol as the unit's firmware knows it.
constexpr std::uint8_t replyReportId = 0x02;
constexpr std::uint8_t errorFlag = 0xFF;
constexpr std::size_t headerSize = 4;
constexpr std::size_t maxBlockBytes = 56;
constexpr std::uint32_t confirmationKey = 0x3C5A96E1;
constexpr std::uint32_t ownVersionAddress = 0x0801FC00;
constexpr std::uint16_t targetUpdatable = 3;

enum Command : std::uint8_t {
    getStatus = 0x08,
    readMemory = 0x0A,
    setSystemLock = 0x0B,
    writeBlock = 0x1B,
    readTargetInfo = 0x1D,
    eraseFirmware = 0x1E,
    setWriteAddress = 0x1F,
    setWriteProtection = 0x20,
    readTargetIdentity = 0x22,
};

std::uint32_t readLong(const std::uint8_t* bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

// Little-endian into a reply; bytes beyond a short report are simply not sent.
void put(std::vector<std::uint8_t>& reply, std::size_t offset, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width && offset + i < reply.size(); ++i)
        reply[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}

SimulatedUnit::SimulatedUnit(const UnitIdentity& identity, double attachedAtMs)
    : identity_(identity), attachedAtMs_(attachedAtMs), flash_(identity.flashSize, identity.oldFirmwareByte)
{
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
    if (length > 1 && data[1] == writeBlock)
        ++blockRequests_;
    lastCommand_ = length > 1 ? data[1] : 0;

    const Fault* fault = plugged_ ? faultFor(data, length) : nullptr;
    if (fault != nullptr && fault->kind == FaultKind::Unplug)
        plugged_ = false;
    if (!plugged_ || (fault != nullptr && fault->kind == FaultKind::WriteFails))
        return false;

    entry.writeOk = true;
    entry.request.assign(data, data + length);
    if (fault != nullptr && fault->kind == FaultKind::ErrorReply) {
        Report reply = errorReply(fault->code);
        if (fault->status)
            reply[3] = *fault->status;
        pendingReply_ = reply;
    } else {
        pendingReply_ = answer(data, length);
        if (fault != nullptr && fault->kind == FaultKind::FlaggedReply) {
            std::uint8_t status = (*pendingReply_)[3];
            pendingReply_ = errorReply(fault->code);
            (*pendingReply_)[3] = status;
        }
        if (fault != nullptr && (fault->kind == FaultKind::StatusByte || fault->kind == FaultKind::FlaggedReply) &&
            fault->status)
            (*pendingReply_)[3] = *fault->status;
    }
    pendingReadFails_ = fault != nullptr && fault->kind == FaultKind::ReadFails;
    return true;
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

bool SimulatedUnit::unplugDueBeforeNextRequest() const
{
    bool blockNext = lastCommand_ == writeBlock || lastCommand_ == setWriteAddress;
    for (const FaultRule& rule : faults_) {
        if (rule.fault.kind != FaultKind::Unplug)
            continue;
        if ((rule.trigger == FaultTrigger::Exchange && rule.match == exchanges_ + 1) ||
            (rule.trigger == FaultTrigger::Block && blockNext && rule.match == blockRequests_ + 1))
            return true;
    }
    return false;
}

SimulatedUnit::Report SimulatedUnit::newReply(std::uint8_t command) const
{
    Report reply(std::max<std::size_t>(identity_.inputReportLength, headerSize), 0);
    reply[0] = replyReportId;
    reply[1] = command;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::errorReply(std::uint32_t code) const
{
    Report reply = newReply(errorFlag);
    put(reply, 4, code, 4);
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answer(const std::uint8_t* request, std::size_t length)
{
    if (length < headerSize)
        return errorReply(errorShortReport);
    Report reply = newReply(request[1]);
    switch (request[1]) {
    case getStatus: return answerStatus(reply);
    case readMemory: return length < 8 ? errorReply(errorShortReport) : answerReadMemory(reply, request);
    case setSystemLock: return answerLock(reply, request[3]);
    case setWriteProtection: return answerProtection(reply, request[3]);
    case eraseFirmware: return length < 8 ? errorReply(errorShortReport) : answerErase(reply, request);
    case setWriteAddress: return length < 12 ? errorReply(errorShortReport) : answerAddress(reply, request);
    case writeBlock: return answerBlock(reply, request, length);
    case readTargetInfo: return answerTargetInfo(reply);
    case readTargetIdentity: return answerTargetIdentity(reply);
    default: return errorReply(errorUnknownCommand);
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

SimulatedUnit::Report SimulatedUnit::answerReadMemory(Report reply, const std::uint8_t* request) const
{
    // Only the word where the unit keeps its own version is modelled; other addresses read as zero.
    std::uint32_t address = readLong(request, 4);
    put(reply, 4, address, 4);
    if (address == ownVersionAddress) {
        put(reply, 8, identity_.unitFirmware, 4);
        put(reply, 12, identity_.unitStatusExtra, 4);
    }
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
        return errorReply(errorNotLocked);
    writeProtected_ = restore;
    reply[3] = writeProtected_ ? 1 : 0;
    return reply;
}

std::optional<std::uint32_t> SimulatedUnit::refusalToWrite() const
{
    if (!locked_)
        return errorNotLocked;
    if (writeProtected_)
        return errorWriteProtected;
    return std::nullopt;
}

SimulatedUnit::Report SimulatedUnit::answerErase(Report reply, const std::uint8_t* request)
{
    if (readLong(request, 4) != confirmationKey)
        return errorReply(errorBadKey);
    if (auto refusal = refusalToWrite())
        return errorReply(*refusal);
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    erased_ = true;
    addressSet_ = false;
    writePosition_ = 0;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerAddress(Report reply, const std::uint8_t* request)
{
    std::uint32_t address = readLong(request, 4);
    if (request[3] != 0x01 || readLong(request, 8) != confirmationKey)
        return errorReply(errorBadKey);
    if (auto refusal = refusalToWrite())
        return errorReply(*refusal);
    if (!erased_)
        return errorReply(errorNotErased);
    if (address >= flash_.size())
        return errorReply(errorBeyondFlash);
    addressSet_ = true;
    writePosition_ = address;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerBlock(Report reply, const std::uint8_t* request, std::size_t length)
{
    std::size_t bytes = request[2];
    if (bytes % 4 != 0 || bytes > maxBlockBytes)
        return errorReply(errorBadLength);
    if (length < headerSize + bytes)
        return errorReply(errorShortReport);
    if (auto refusal = refusalToWrite())
        return errorReply(*refusal);
    if (!erased_)
        return errorReply(errorNotErased);
    if (!addressSet_)
        return errorReply(errorNoAddress);
    if (writePosition_ + bytes > flash_.size())
        return errorReply(errorBeyondFlash);
    // Only the announced words are stored; anything after them in the report is padding.
    std::copy_n(request + headerSize, bytes, flash_.begin() + writePosition_);
    writePosition_ += static_cast<std::uint32_t>(bytes);
    ++blocksWritten_;
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerTargetInfo(Report reply) const
{
    if (identity_.bootMode != 0 || identity_.targetState != targetUpdatable)
        return errorReply(errorNoController);
    // The controller's 32-byte information block; the installed firmware version at its bytes 4..5.
    put(reply, 4, 32, 4);
    put(reply, 8, identity_.escFirmwareVersion, 2);
    for (std::size_t i = 10; i < 36; ++i)
        put(reply, i, static_cast<std::uint32_t>(0x40 + i), 1);
    return reply;
}

SimulatedUnit::Report SimulatedUnit::answerTargetIdentity(Report reply) const
{
    if (identity_.bootMode != 0 || identity_.targetState != targetUpdatable)
        return errorReply(errorNoController);
    // The controller's 40-byte identity block: type code, loader version, then its serial bytes.
    put(reply, 4, identity_.deviceTypeCode, 4);
    put(reply, 8, identity_.bootloaderVersion, 4);
    for (std::size_t i = 12; i < 44; ++i)
        put(reply, i, static_cast<std::uint32_t>(0x80 + i), 1);
    return reply;
}

}
