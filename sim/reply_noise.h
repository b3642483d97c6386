// Deterministic noise for the reply bytes the host must not examine: the same unit, exchange and
// offset always give the same byte, so a failing run can be repeated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

std::uint8_t noiseByte(std::uint32_t seed, std::uint32_t exchange, std::size_t offset);

// Byte 1 of a reply without the error flag: never 0xFF and never the command code, so a host
// that compares it with either is caught.
std::uint8_t noiseFlag(std::uint32_t seed, std::uint32_t exchange, std::uint8_t command);

// For the replies whose byte 1 the host never examines: every fourth or so carries 0xFF.
bool noiseSaysErrorFlag(std::uint32_t seed, std::uint32_t exchange);

}
