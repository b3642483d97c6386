// The programming unit's report protocol: framing, command codes and fixed values.
#pragma once

#include "platform.h"

// Every request and reply lives in one 60-byte buffer: a 4-byte header and a 56-byte payload.
constexpr DWORD reportBufferSize = 60;
constexpr DWORD blockSize = 48;             // data bytes carried by one WriteBlock
constexpr DWORD maxBlockWords = 14;         // the most 32-bit words the payload area can announce

// Header offsets, the same in requests and replies.
constexpr int reportIdOffset = 0;
constexpr int commandOffset = 1;            // request: command code; reply: error flag
constexpr int lengthOffset = 2;
constexpr int statusOffset = 3;             // request: parameter byte; reply: status byte
constexpr int payloadOffset = 4;

// The data blocks identification keeps: the controller's information and identity.
constexpr DWORD targetInfoBlockSize = 32;
constexpr DWORD targetIdentityBlockSize = 40;

// The shortest reports that carry the protocol. The longest request is WriteBlock, its data
// block running to byte 51; the longest reply examined is ReadTargetIdentity's, its block
// running to byte 43. With shorter reports a reply would be read from what the request left in
// the buffer.
constexpr DWORD minOutputReportLength = payloadOffset + blockSize;
constexpr DWORD minInputReportLength = payloadOffset + targetIdentityBlockSize;

constexpr BYTE outputReportId = 0x01;
constexpr BYTE inputReportId = 0x02;
constexpr BYTE errorFlag = 0xFF;

enum CommandCode : BYTE {
    cmdGetStatus = 0x08,
    cmdReadMemory = 0x0A,
    cmdSetSystemLock = 0x0B,
    cmdWriteBlock = 0x1B,
    cmdReadTargetInfo = 0x1D,
    cmdEraseFirmware = 0x1E,
    cmdSetWriteAddress = 0x1F,
    cmdSetWriteProtection = 0x20,
    cmdReadTargetIdentity = 0x22,
};

// Sent with EraseFirmware and SetWriteAddress; the unit refuses both without it.
constexpr DWORD confirmationKey = 0x3C5A96E1;

// Where the unit keeps its own firmware version while it runs its loader.
constexpr DWORD unitVersionAddress = 0x0801FC00;

// The information block asked for: 32 bytes, and its negation, which the unit expects beside it.
constexpr DWORD targetInfoRequestLength = 0x00000020;
constexpr DWORD targetInfoRequestCheck = 0xFFFFFFE0;

constexpr DWORD eraseWaitMs = 1000;         // the unit erases between taking the request and answering

// A controller the unit can update reports this target state.
constexpr WORD targetStateUpdatable = 3;

// Little-endian fields inside a report.
inline WORD readReportWord(const BYTE* report, int offset)
{
    return static_cast<WORD>(report[offset] | (report[offset + 1] << 8));
}

inline DWORD readReportLong(const BYTE* report, int offset)
{
    return static_cast<DWORD>(readReportWord(report, offset)) |
           (static_cast<DWORD>(readReportWord(report, offset + 2)) << 16);
}

inline void writeReportLong(BYTE* report, int offset, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        report[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

// The programming units: one vendor, two models.
constexpr WORD unitVendorId = 0x21B8;
constexpr WORD productIdOrbipad = 1;
constexpr WORD productIdBenchBox = 2;
