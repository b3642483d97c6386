// The one opened programming unit and everything it reported.
#pragma once

#include "platform.h"
#include "protocol.h"

#include <cstddef>

struct UnitLoaderInfo {
    BYTE loaderByte1;
    WORD loaderWord;
    DWORD loaderLong1;
    DWORD loaderLong2;
    BYTE loaderByte2;
};

// The ReadTargetInfo data block, kept as received.
struct TargetInfo {
    BYTE leading[4];
    WORD escFirmwareVersion;                // 0xFFFF: no firmware installed
    BYTE trailing[26];
};

// The ReadTargetIdentity data block, kept as received.
struct TargetIdentity {
    DWORD deviceTypeCode;
    DWORD bootloaderVersion;
    BYTE trailing[32];
};

// The blocks are copied byte for byte from little-endian replies onto these layouts,
// which the x86 builds share.
static_assert(sizeof(TargetInfo) == targetInfoBlockSize && offsetof(TargetInfo, escFirmwareVersion) == 4);
static_assert(sizeof(TargetIdentity) == targetIdentityBlockSize && offsetof(TargetIdentity, bootloaderVersion) == 4);

struct ConnectedUnitRecord {
    HANDLE handle;                          // INVALID_HANDLE_VALUE when no unit is open
    WCHAR* devicePath;                      // owned; null when no unit is open
    DWORD outputReportLength;               // bytes written per request, report ID included
    DWORD inputReportLength;                // bytes read per reply, report ID included
    BYTE unitBootMode;                      // 0: the unit runs its normal firmware
    DWORD unitFirmwareVersion;
    DWORD unitStatusExtra;
    WORD targetState;
    WORD targetStateExtra;
    UnitLoaderInfo unitLoaderInfo;
    TargetInfo targetInfo;
    TargetIdentity targetIdentity;
    WORD productId;
};

extern ConnectedUnitRecord ConnectedUnit;

// Start of program: nothing can be open yet, so nothing is closed.
void initConnectedUnit();

// Closes the unit without sending it anything and empties the record; safe on an empty record.
void closeDevice();

// Tells one opening of a unit from every other: openDevice counts each unit it records. A handle
// value or a path cannot do this: Windows reuses handle values, and a unit plugged in again
// into the same port, perhaps with another controller, gets the same path.
DWORD unitConnection();
void countUnitConnection();
