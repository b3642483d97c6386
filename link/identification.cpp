#include "identification.h"

#include "commands.h"
#include "connected_unit.h"
#include "result_codes.h"

#include <cstring>

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

// A report the unit sent before these exchanges (every open handle gets a copy of every input
// report) would be taken as the next reply and shift every reply after it. A failed flush
// changes nothing that could be done better: identification goes on.
void dropStaleInput()
{
    HidD_FlushQueue(ConnectedUnit.handle);
}

// The exchanges of identification, each storing what its reply carries in into.
int identifyController(ConnectedUnitRecord& into)
{
    // One buffer for every exchange: ReadTargetIdentity goes out over the ReadTargetInfo reply.
    BYTE report[reportBufferSize] = {};
    int result = GetStatus(report, into);
    if (result != resultSuccess)
        return result;

    // A unit in its own loader mode has no controller to report, only its firmware version.
    if (into.unitBootMode != 0)
        return ReadMemory(report, into);

    if (into.targetState != targetStateUpdatable)
        return resultSuccess;

    result = ReadTargetInfo(report, into);
    if (result != resultSuccess)
        return result;
    return ReadTargetIdentity(report, into);
}

bool sameController(const ConnectedUnitRecord& a, const ConnectedUnitRecord& b)
{
    return a.unitBootMode == b.unitBootMode && a.targetState == b.targetState &&
           std::memcmp(&a.targetInfo, &b.targetInfo, sizeof a.targetInfo) == 0 &&
           std::memcmp(&a.targetIdentity, &b.targetIdentity, sizeof a.targetIdentity) == 0;
}

void storeIdentity(const ConnectedUnitRecord& from)
{
    ConnectedUnit.unitBootMode = from.unitBootMode;
    ConnectedUnit.unitFirmwareVersion = from.unitFirmwareVersion;
    ConnectedUnit.unitStatusExtra = from.unitStatusExtra;
    ConnectedUnit.targetState = from.targetState;
    ConnectedUnit.targetStateExtra = from.targetStateExtra;
    ConnectedUnit.unitLoaderInfo = from.unitLoaderInfo;
    ConnectedUnit.targetInfo = from.targetInfo;
    ConnectedUnit.targetIdentity = from.targetIdentity;
}

}

int identifyDevice()
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE || ConnectedUnit.devicePath == nullptr)
        return resultNoUnit;

    int result = readReportLengths();
    if (result != resultSuccess)
        return result;
    dropStaleInput();
    return identifyController(ConnectedUnit);
}

int identifyAgain(bool& changed)
{
    changed = false;
    dropStaleInput();
    // Fields the exchanges do not reach stay zero, as they are in ConnectedUnit after opening.
    ConnectedUnitRecord now = {};
    int result = identifyController(now);
    if (result != resultSuccess)
        return result;
    changed = !sameController(now, ConnectedUnit);
    if (changed)
        storeIdentity(now);
    return resultSuccess;
}
