// Faults a simulated unit can be told to show.
#pragma once

#include <cstdint>
#include <optional>

namespace sim {

enum class FaultKind {
    WriteFails,     // the request never reaches the unit
    ReadFails,      // the unit acts on the request, but its reply cannot be read
    ErrorReply,     // the unit refuses: error flag and the 32-bit code, the command is not carried out
    StatusByte,     // the unit acts on the request, and its reply carries this status byte
    FlaggedReply,   // the unit acts on the request, yet answers with the error flag, the code and the status byte
    Unplug,         // the unit is pulled out just before this request
    NoisyReply,     // the unit acts on the request; every byte the host must not examine is noise,
                    // and byte 1 is 0xFF where the host never looks at it
    Silent,         // the unit takes the request and never answers: the host waits until it is pulled out
};

struct Fault {
    FaultKind kind = FaultKind::ErrorReply;
    std::uint32_t code = 0;                 // ErrorReply, FlaggedReply: the code at reply bytes 4..7
    std::optional<std::uint8_t> status;     // StatusByte, or byte 3 of an ErrorReply or FlaggedReply
};

enum class FaultTrigger {
    Command,        // every request with this command code
    Exchange,       // the Nth exchange since the unit was attached, counting from 1
    Block,          // the Nth WriteBlock request, counting from 1
};

struct FaultRule {
    FaultTrigger trigger = FaultTrigger::Command;
    std::uint32_t match = 0;                // the command code, or N
    Fault fault;
};

}
