// Units described as text, as ZEFRAN_SIM_UNITS and zefran-sim-ctl take them.
#pragma once

#include "faults.h"
#include "unit_identity.h"

#include <string>
#include <vector>

namespace sim {

// What the host that runs a unit under Wine does wrong on the pipe to the unit's driver, at the
// Nth exchange since the unit was attached (the unit itself takes the request as usual).
enum class LinkFault {
    Stall,          // the answer is never sent: the host holds it until the driver gives up
    ShortReply,     // the reply lacks its last byte
    WrongAnswer,    // the answer's header names another kind of message
    BrokenPipe,     // the host ends the pipe instead of answering
};

struct LinkFaultRule {
    LinkFault fault = LinkFault::Stall;
    std::uint32_t exchange = 0;
};

struct UnitDescription {
    UnitIdentity identity;
    std::vector<FaultRule> faults;
    std::vector<LinkFaultRule> linkFaults;     // the host's; the native double has no link
};

// One unit: comma-separated key=value pairs, numbers in C notation (decimal or 0x hex).
// Identity keys: vid, pid, mode, state, type, esc, loader, fw, in, out, noise (0: unexamined reply
// bytes are zero instead of noise). Fault keys, each may repeat:
//   unplug_at_block=N     unplugged just before the Nth WriteBlock (counting from 1)
//   unplug_at_exchange=N  unplugged just before the Nth exchange
//   error_on=CMD:CODE     every request with command code CMD gets an error reply with CODE
//   status_on=CMD:BYTE    every reply to CMD carries status byte BYTE
//   read_fails_on=CMD     the reply to every CMD cannot be read
//   write_fails_on=CMD    every request with command code CMD cannot be written
//   noisy_on=CMD          every reply to CMD is as noisy as the protocol allows
//   silent_on=CMD         every request with command code CMD is taken and never answered
//   silent_at_block=N     the Nth WriteBlock is taken and never answered
// Link fault keys, for the host under Wine, each at the Nth exchange: stall_at_exchange,
// short_reply_at_exchange, wrong_answer_at_exchange, break_at_exchange (see LinkFault).
// An empty text is the default unit. Returns false, with a message in error, on anything unknown.
bool parseUnitDescription(const std::string& text, UnitDescription& description, std::string& error);

// Another controller on a unit's lead: the keys state, type, esc and loader, in the notation of a
// unit description, replace those of identity; keys left out keep their values, state=2 is a lead
// with no controller on it. False, with a message in error, on any other key or a value out of range.
bool parseControllerChange(const std::string& text, UnitIdentity& identity, std::string& error);

// Units separated by ';'. "none" is no unit; an unset variable (null) is one default unit.
bool parseUnitList(const char* text, std::vector<UnitDescription>& units, std::string& error);

}
