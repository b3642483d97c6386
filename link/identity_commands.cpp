// The commands identification sends: they store what each reply carries in ConnectedUnit.
#include "commands.h"

#include "connected_unit.h"
#include "exchange.h"
#include "result_codes.h"

#include <cstring>

namespace {

constexpr BYTE getStatusLength = 0x00;
constexpr BYTE readMemoryLength = 0x0C;
constexpr BYTE readTargetInfoLength = 0x08;

void storeNormalStatus(const BYTE (&report)[reportBufferSize])
{
    ConnectedUnit.targetState = readReportWord(report, 4);
    ConnectedUnit.targetStateExtra = readReportWord(report, 6);
    ConnectedUnit.unitFirmwareVersion = readReportLong(report, 8);
    ConnectedUnit.unitStatusExtra = readReportLong(report, 12);
}

void storeLoaderStatus(const BYTE (&report)[reportBufferSize])
{
    // In loader mode the fields follow each other without gaps.
    UnitLoaderInfo& info = ConnectedUnit.unitLoaderInfo;
    info.loaderByte1 = report[4];
    info.loaderWord = readReportWord(report, 5);
    info.loaderLong1 = readReportLong(report, 7);
    info.loaderLong2 = readReportLong(report, 11);
    info.loaderByte2 = report[15];
}

}

int GetStatus(BYTE (&report)[reportBufferSize])
{
    prepareRequest(report, cmdGetStatus, getStatusLength);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    // The error flag is not examined: whatever comes back is the status.
    ConnectedUnit.unitBootMode = report[statusOffset];
    if (ConnectedUnit.unitBootMode == 0)
        storeNormalStatus(report);
    else
        storeLoaderStatus(report);
    return resultSuccess;
}

int ReadMemory(BYTE (&report)[reportBufferSize])
{
    prepareRequest(report, cmdReadMemory, readMemoryLength);
    writeReportLong(report, payloadOffset, unitVersionAddress);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    ConnectedUnit.unitFirmwareVersion = readReportLong(report, 8);
    ConnectedUnit.unitStatusExtra = readReportLong(report, 12);
    return resultSuccess;
}

int ReadTargetInfo(BYTE (&report)[reportBufferSize])
{
    prepareRequest(report, cmdReadTargetInfo, readTargetInfoLength);
    writeReportLong(report, payloadOffset, targetInfoRequestLength);
    writeReportLong(report, payloadOffset + 4, targetInfoRequestCheck);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    // An error reply, even one whose code is zero, carries no information block.
    if (replyHasErrorFlag(report))
        return replyErrorCode16(report);
    std::memcpy(&ConnectedUnit.targetInfo, report + payloadOffset, sizeof ConnectedUnit.targetInfo);
    return resultSuccess;
}

int ReadTargetIdentity(BYTE (&report)[reportBufferSize])
{
    // Built on top of the previous reply: the unit's firmware has only ever been sent the
    // request this way, so bytes 2..59 are left as they came in.
    report[reportIdOffset] = outputReportId;
    report[commandOffset] = cmdReadTargetIdentity;
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    if (replyHasErrorFlag(report))
        return replyErrorCode16(report);
    std::memcpy(&ConnectedUnit.targetIdentity, report + payloadOffset, sizeof ConnectedUnit.targetIdentity);
    return resultSuccess;
}
