// The codes a simulated unit answers with when a request is malformed or arrives out of order.
// A real unit has codes of its own; these only need to be non-zero and recognisable, and to fit
// the 16 bits that ReadTargetInfo and ReadTargetIdentity carry.
#pragma once

#include <cstdint>

namespace sim {

enum LoaderError : std::uint32_t {
    errorNotLocked = 0xE001,
    errorWriteProtected = 0xE002,
    errorNotErased = 0xE003,
    errorNoAddress = 0xE004,
    errorBadKey = 0xE005,
    errorBeyondFlash = 0xE006,
    errorBadLength = 0xE007,
    errorNoController = 0xE008,
    errorUnknownCommand = 0xE009,
    errorShortReport = 0xE00A,
    errorMalformedRequest = 0xE00B,     // a report ID, length byte, parameter or constant the protocol fixes differs
};

}
