#include "identification.h"

#include "commands.h"
#include "connected_unit.h"
#include "result_codes.h"

namespace {

// A report longer than the 60-byte buffer would overrun it, and one too short for the protocol
// would leave part of a request unsent or of a reply unread: such a unit is refused before
// anything is sent.
bool reportLengthUsable(USHORT length, DWORD shortest)
{
    return length >= shortest && length <= reportBufferSize;
}

int readReportLengths()
{
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(ConnectedUnit.handle, &preparsed))
        return resultNoUnit;

    HIDP_CAPS caps = {};
    NTSTATUS status = HidP_GetCaps(preparsed, &caps);
    HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS)
        return resultNoUnit;
    if (!reportLengthUsable(caps.OutputReportByteLength, minOutputReportLength) ||
        !reportLengthUsable(caps.InputReportByteLength, minInputReportLength))
        return resultNoUnit;

    // Both lengths include the report-ID byte.
    ConnectedUnit.outputReportLength = caps.OutputReportByteLength;
    ConnectedUnit.inputReportLength = caps.InputReportByteLength;
    return resultSuccess;
}

}

int identifyDevice()
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE || ConnectedUnit.devicePath == nullptr)
        return resultNoUnit;

    int result = readReportLengths();
    if (result != resultSuccess)
        return result;

    // One buffer for every exchange: ReadTargetIdentity goes out over the ReadTargetInfo reply.
    BYTE report[reportBufferSize] = {};
    result = GetStatus(report);
    if (result != resultSuccess)
        return result;

    // A unit in its own loader mode has no controller to report, only its firmware version.
    if (ConnectedUnit.unitBootMode != 0)
        return ReadMemory(report);

    if (ConnectedUnit.targetState != targetStateUpdatable)
        return resultSuccess;

    result = ReadTargetInfo(report);
    if (result != resultSuccess)
        return result;
    return ReadTargetIdentity(report);
}
