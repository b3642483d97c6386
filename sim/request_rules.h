// The bytes of a request that the protocol fixes, checked as the unit's firmware checks them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace sim {

struct Refusal {
    std::uint32_t code;                     // a LoaderError
    const char* reason;                     // marks the exchange in the transcript
};

// The first fixed byte that differs, or nothing for a well-formed request. Only the framing and
// the constants are checked here; whether the unit can carry the command out now is its state's
// business.
std::optional<Refusal> malformation(const std::uint8_t* request, std::size_t length);

}
