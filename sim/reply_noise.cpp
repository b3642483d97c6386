#include "reply_noise.h"

namespace sim {

namespace {

// splitmix64's finaliser: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr std::size_t flagSlot = 0x1000;    // beyond any report: the draws of byte 1 itself

}

std::uint8_t noiseByte(std::uint32_t seed, std::uint32_t exchange, std::size_t offset)
{
    std::uint64_t key = (static_cast<std::uint64_t>(seed) << 32) ^ (static_cast<std::uint64_t>(exchange) << 13) ^ offset;
    return static_cast<std::uint8_t>(mix(key) >> 24);
}

std::uint8_t noiseFlag(std::uint32_t seed, std::uint32_t exchange, std::uint8_t command)
{
    std::uint8_t flag = noiseByte(seed, exchange, flagSlot);
    while (flag == 0xFF || flag == command)
        flag = static_cast<std::uint8_t>(flag + 0x35);
    return flag;
}

bool noiseSaysErrorFlag(std::uint32_t seed, std::uint32_t exchange)
{
    return noiseByte(seed, exchange, flagSlot + 1) < 0x40;
}

}
