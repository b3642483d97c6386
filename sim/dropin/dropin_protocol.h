// What passes between the drop-in DLLs and a simulated unit's pipe besides HID reports.
// hid.dll asks the unit behind a pipe handle for what a HID driver would know of it; the
// question starts with a byte no HID report of the updater starts with.
#pragma once

#include <windows.h>

namespace dropin {

constexpr BYTE queryReportId = 0xFE;
constexpr BYTE queryAttributes = 'A';

#pragma pack(push, 1)
struct UnitAnswer {
    BYTE reportId;                          // queryReportId
    BYTE query;                             // queryAttributes
    WORD vendorId;
    WORD productId;
    WORD versionNumber;
    WORD inputReportLength;
    WORD outputReportLength;
};
#pragma pack(pop)

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
constexpr GUID hidClassGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Wine's own implementations, loaded beside the drop-ins for the devices Wine itself provides.
HMODULE builtinModule(const wchar_t* name);

}
