// The commands the update sends; each decodes its reply into a result code.
#include "commands.h"

#include "connected_unit.h"
#include "exchange.h"
#include "result_codes.h"

#include <cstring>

namespace {

constexpr BYTE setSystemLockLength = 0x01;
constexpr BYTE setWriteProtectionLength = 0x01;
constexpr BYTE eraseFirmwareLength = 0x04;
constexpr BYTE setWriteAddressLength = 0x09;
constexpr BYTE setWriteAddressParameter = 0x01;
constexpr DWORD firmwareStartAddress = 0x00000000;

constexpr BYTE lockEngagedStatus = 0x01;
constexpr BYTE protectionLiftedStatus = 0x00;

}

int SetSystemLock(LockAction action)
{
    BYTE report[reportBufferSize];
    prepareRequest(report, cmdSetSystemLock, setSystemLockLength);
    report[statusOffset] = action;
    int result = sendCommand(report);
    if (result != resultSuccess || action == lockRelease)
        return result;              // a release reply is read but not examined

    // Only the status byte confirms the lock, even on a reply that carries the error flag.
    return report[statusOffset] == lockEngagedStatus ? resultSuccess : resultNotConfirmed;
}

int SetWriteProtection(ProtectionAction action)
{
    BYTE report[reportBufferSize];
    prepareRequest(report, cmdSetWriteProtection, setWriteProtectionLength);
    report[statusOffset] = action;
    int result = sendCommand(report);
    if (result != resultSuccess || action == protectionRestore)
        return result;              // a restore reply is read but not examined

    // An error reply settles it, a zero code as success; otherwise the status byte must confirm.
    if (replyHasErrorFlag(report))
        return replyErrorCode32(report);
    return report[statusOffset] == protectionLiftedStatus ? resultSuccess : resultNotConfirmed;
}

int EraseFirmware(ReplyWait wait)
{
    BYTE report[reportBufferSize];
    prepareRequest(report, cmdEraseFirmware, eraseFirmwareLength);
    writeReportLong(report, payloadOffset, confirmationKey);
    int result = sendCommand(report, eraseWaitMs, wait);
    if (result != resultSuccess)
        return result;
    return replyErrorCode32(report);
}

int SetWriteAddress()
{
    BYTE report[reportBufferSize];
    prepareRequest(report, cmdSetWriteAddress, setWriteAddressLength);
    report[statusOffset] = setWriteAddressParameter;
    writeReportLong(report, payloadOffset, firmwareStartAddress);
    writeReportLong(report, payloadOffset + 4, confirmationKey);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;
    return replyErrorCode32(report);
}

int WriteBlock(const BYTE* block, DWORD wordCount)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE || wordCount > maxBlockWords)
        return resultNoUnit;

    BYTE report[reportBufferSize];
    prepareRequest(report, cmdWriteBlock, static_cast<BYTE>(4 * wordCount));
    // The whole block goes out: a padded short block carries its padding beyond the announced words.
    std::memcpy(report + payloadOffset, block, blockSize);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;
    return replyErrorCode32(report);
}
