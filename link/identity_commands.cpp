// The commands identification sends: they store what each reply carries in the record given,
// ConnectedUnit when the unit is opened.
#include "commands.h"

#include "connected_unit.h"
#include "exchange.h"
#include "result_codes.h"

#include <cstring>

namespace {

constexpr BYTE getStatusLength = 0x00;
constexpr BYTE readMemoryLength = 0x0C;
constexpr BYTE readTargetInfoLength = 0x08;

void storeNormalStatus(const BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
{
    into.targetState = readReportWord(report, 4);
    into.targetStateExtra = readReportWord(report, 6);
    into.unitFirmwareVersion = readReportLong(report, 8);
    into.unitStatusExtra = readReportLong(report, 12);
}

void storeLoaderStatus(const BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
{
    // In loader mode the fields follow each other without gaps.
    UnitLoaderInfo& info = into.unitLoaderInfo;
    info.loaderByte1 = report[4];
    info.loaderWord = readReportWord(report, 5);
    info.loaderLong1 = readReportLong(report, 7);
    info.loaderLong2 = readReportLong(report, 11);
    info.loaderByte2 = report[15];
}

}

int GetStatus(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
{
    prepareRequest(report, cmdGetStatus, getStatusLength);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    // The error flag is not examined: whatever comes back is the status.
    into.unitBootMode = report[statusOffset];
    if (into.unitBootMode == 0)
        storeNormalStatus(report, into);
    else
        storeLoaderStatus(report, into);
    return resultSuccess;
}

int ReadMemory(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
{
    prepareRequest(report, cmdReadMemory, readMemoryLength);
    writeReportLong(report, payloadOffset, unitVersionAddress);
    int result = sendCommand(report);
    if (result != resultSuccess)
        return result;

    into.unitFirmwareVersion = readReportLong(report, 8);
    into.unitStatusExtra = readReportLong(report, 12);
    return resultSuccess;
}

int ReadTargetInfo(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
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
    std::memcpy(&into.targetInfo, report + payloadOffset, sizeof into.targetInfo);
    return resultSuccess;
}

int ReadTargetIdentity(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into)
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
    std::memcpy(&into.targetIdentity, report + payloadOffset, sizeof into.targetIdentity);
    return resultSuccess;
}
