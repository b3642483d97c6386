// The report protocol as the unit's firmware knows it: framing, command codes, fixed values.
// The simulated unit's own copy: it must not share the updater's definitions, or a wrong
// constant in the updater would pass unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

constexpr std::uint8_t requestReportId = 0x01;
constexpr std::uint8_t replyReportId = 0x02;
constexpr std::uint8_t errorFlag = 0xFF;
constexpr std::size_t headerSize = 4;
constexpr std::size_t maxBlockBytes = 56;
constexpr std::uint32_t confirmationKey = 0x3C5A96E1;
constexpr std::uint32_t ownVersionAddress = 0x0801FC00;
constexpr std::uint32_t targetInfoLength = 0x00000020;
constexpr std::uint32_t targetInfoCheck = 0xFFFFFFE0;
constexpr std::uint32_t firmwareStartAddress = 0x00000000;
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

inline std::uint32_t readLong(const std::uint8_t* bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

// Commands whose reply carries its error code in 16 bits; every other command uses 32.
inline bool hasShortErrorCode(std::uint8_t command)
{
    return command == readTargetInfo || command == readTargetIdentity;
}

// Commands whose reply byte 1 the host never looks at: their replies may carry 0xFF there
// without being errors.
inline bool errorFlagUnexamined(std::uint8_t command, std::uint8_t parameter)
{
    return command == getStatus || command == readMemory || command == setSystemLock ||
           (command == setWriteProtection && parameter != 0);
}

// Commands whose reply byte 3 the host reads as a status.
inline bool hasStatusByte(std::uint8_t command)
{
    return command == getStatus || command == setSystemLock || command == setWriteProtection;
}

}
