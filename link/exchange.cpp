#include "exchange.h"

#include "connected_unit.h"
#include "result_codes.h"
#include "thread_wait.h"

int sendCommand(BYTE (&report)[reportBufferSize])
{
    return sendCommand(report, 0, nullptr);
}

namespace {

// A report not out, or a reply not in, this long after it was asked for: the unit has stopped
// answering (a loose lead, a unit whose own firmware has stopped), and only its removal would
// end the transfer.
constexpr DWORD transferLimitMs = 10000;

bool underWay = false;

enum class Transfer { Done, Failed, TimedOut };

// Waits for a transfer the handle began, the window answering meanwhile. At the limit the
// transfer is cancelled, and the buffer is the transfer's until the cancellation has completed;
// one that completed after all meanwhile stands.
Transfer finish(BOOL started, OVERLAPPED& overlapped, DWORD& moved)
{
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return Transfer::Failed;
    if (!started && !waitAnswering(overlapped.hEvent, transferLimitMs)) {
        CancelIoEx(ConnectedUnit.handle, &overlapped);
        if (GetOverlappedResult(ConnectedUnit.handle, &overlapped, &moved, TRUE))
            return Transfer::Done;
        SetLastError(ERROR_TIMEOUT);
        return Transfer::TimedOut;
    }
    return GetOverlappedResult(ConnectedUnit.handle, &overlapped, &moved, FALSE) ? Transfer::Done : Transfer::Failed;
}

int exchange(BYTE (&report)[reportBufferSize], DWORD waitMs, ReplyWait wait, HANDLE done)
{
    // Only success is examined of the write; a HID transfer is always the whole report.
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done;
    DWORD moved = 0;
    BOOL started = WriteFile(ConnectedUnit.handle, report, ConnectedUnit.outputReportLength, nullptr, &overlapped);
    if (finish(started, overlapped, moved) != Transfer::Done)
        return resultWriteFailed;           // nothing is read after a failed write, and no wait
    if (waitMs != 0)
        wait(waitMs);

    report[reportIdOffset] = inputReportId; // the next input report is the reply; nothing ties it to the request
    overlapped = {};
    overlapped.hEvent = done;
    started = ReadFile(ConnectedUnit.handle, report, ConnectedUnit.inputReportLength, nullptr, &overlapped);
    if (finish(started, overlapped, moved) != Transfer::Done)
        return resultReadFailed;
    // A read that brought less than a report left part of the request in the buffer: no reply.
    if (moved < ConnectedUnit.inputReportLength) {
        SetLastError(ERROR_INVALID_DATA);
        return resultReadFailed;
    }
    return resultSuccess;
}

}

int sendCommand(BYTE (&report)[reportBufferSize], DWORD waitMs, ReplyWait wait)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE)
        return resultNoUnit;
    // Identification refuses longer reports; this keeps the buffer safe whatever the record holds.
    if (ConnectedUnit.outputReportLength > reportBufferSize || ConnectedUnit.inputReportLength > reportBufferSize)
        return resultNoUnit;

    // Manual reset, as overlapped transfers need: each transfer resets it as it begins.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr)
        return resultWriteFailed;
    underWay = true;
    int result = exchange(report, waitMs, wait, done);
    underWay = false;
    DWORD lastError = GetLastError();
    CloseHandle(done);
    SetLastError(lastError);                // the failure box shows the transfer's error
    return result;
}

bool exchangeUnderWay()
{
    return underWay;
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
