// Faults for the simulated unit, by what they do.
#pragma once

#include "faults.h"

#include <cstdint>
#include <optional>

inline sim::FaultRule onCommand(std::uint8_t command, sim::Fault fault)
{
    return {sim::FaultTrigger::Command, command, fault};
}

inline sim::Fault errorReply(std::uint32_t code, std::optional<std::uint8_t> status = std::nullopt)
{
    return {sim::FaultKind::ErrorReply, code, status};
}

inline sim::Fault statusByte(std::uint8_t status)
{
    return {sim::FaultKind::StatusByte, 0, status};
}

inline sim::Fault transportFault(sim::FaultKind kind)
{
    return {kind, 0, std::nullopt};
}

// The unit does what was asked, but answers with the error flag and this code.
inline sim::Fault flaggedReply(std::uint32_t code, std::optional<std::uint8_t> status = std::nullopt)
{
    return {sim::FaultKind::FlaggedReply, code, status};
}
