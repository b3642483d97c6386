#include "exchange.h"

#include "connected_unit.h"
#include "result_codes.h"

int sendCommand(BYTE (&report)[reportBufferSize])
{
    return sendCommand(report, 0, nullptr);
}

int sendCommand(BYTE (&report)[reportBufferSize], DWORD waitMs, ReplyWait wait)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE)
        return resultNoUnit;
    // Identification refuses longer reports; this keeps the buffer safe whatever the record holds.
    if (ConnectedUnit.outputReportLength > reportBufferSize || ConnectedUnit.inputReportLength > reportBufferSize)
        return resultNoUnit;

    // Synchronous handle: the calls return when the report is out or in, with no time limit.
    // Only success is examined; a HID transfer is always the whole report.
    DWORD written = 0;
    if (!WriteFile(ConnectedUnit.handle, report, ConnectedUnit.outputReportLength, &written, nullptr))
        return resultWriteFailed;           // nothing is read after a failed write, and no wait
    if (waitMs != 0)
        wait(waitMs);

    report[reportIdOffset] = inputReportId; // the next input report is the reply; nothing ties it to the request
    DWORD read = 0;
    if (!ReadFile(ConnectedUnit.handle, report, ConnectedUnit.inputReportLength, &read, nullptr))
        return resultReadFailed;
    return resultSuccess;
}

void prepareRequest(BYTE (&report)[reportBufferSize], CommandCode command, BYTE length)
{
    for (BYTE& b : report)
        b = 0;
    report[reportIdOffset] = outputReportId;
    report[commandOffset] = command;
    report[lengthOffset] = length;
}

bool replyHasErrorFlag(const BYTE (&report)[reportBufferSize])
{
    return report[commandOffset] == errorFlag;
}

int replyErrorCode32(const BYTE (&report)[reportBufferSize])
{
    // All 32 bits are the code; a code that happens to read as -1..-3 cannot be told apart.
    return replyHasErrorFlag(report) ? static_cast<int>(readReportLong(report, payloadOffset)) : resultSuccess;
}

int replyErrorCode16(const BYTE (&report)[reportBufferSize])
{
    // Only bytes 4..5 count: an error reply whose low half is zero is a success without data.
    return replyHasErrorFlag(report) ? static_cast<int>(readReportWord(report, payloadOffset)) : resultSuccess;
}
