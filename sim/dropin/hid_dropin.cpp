// hid.dll for the updater under Wine: a simulated unit's pipe handle is answered by the unit
// itself; every other handle (Wine's own devices) goes to Wine's builtin hid.dll.
#include "dropin_protocol.h"

extern "C" {
#include <hidsdi.h>
}

#include <set>

namespace {

struct PreparsedUnit {
    USHORT inputReportLength;
    USHORT outputReportLength;
};

std::set<const void*> preparsedUnits;   // ours, told apart from the builtin's by address
CRITICAL_SECTION preparsedLock;

template <typename Function>
Function builtin(const char* name)
{
    static HMODULE module = dropin::builtinModule(L"hid.dll");
    return module == nullptr ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Asks the unit behind a pipe; false for any handle that is not a simulated unit.
bool askUnit(HANDLE handle, dropin::UnitAnswer& answer)
{
    if (GetFileType(handle) != FILE_TYPE_PIPE)
        return false;
    BYTE query[2] = {dropin::queryReportId, dropin::queryAttributes};
    DWORD transferred = 0;
    if (!WriteFile(handle, query, sizeof query, &transferred, nullptr))
        return false;
    if (!ReadFile(handle, &answer, sizeof answer, &transferred, nullptr) || transferred != sizeof answer)
        return false;
    return answer.reportId == dropin::queryReportId && answer.query == dropin::queryAttributes;
}

bool isOurs(const void* preparsed)
{
    EnterCriticalSection(&preparsedLock);
    bool found = preparsedUnits.count(preparsed) != 0;
    LeaveCriticalSection(&preparsedLock);
    return found;
}

}

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID HidGuid)
{
    *HidGuid = dropin::hidClassGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes)
{
    dropin::UnitAnswer answer;
    if (!askUnit(HidDeviceObject, answer)) {
        auto real = builtin<BOOLEAN(NTAPI*)(HANDLE, PHIDD_ATTRIBUTES)>("HidD_GetAttributes");
        return real != nullptr && real(HidDeviceObject, Attributes);
    }
    Attributes->VendorID = answer.vendorId;
    Attributes->ProductID = answer.productId;
    Attributes->VersionNumber = answer.versionNumber;
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData)
{
    dropin::UnitAnswer answer;
    if (!askUnit(HidDeviceObject, answer)) {
        auto real = builtin<BOOLEAN(NTAPI*)(HANDLE, PHIDP_PREPARSED_DATA*)>("HidD_GetPreparsedData");
        return real != nullptr && real(HidDeviceObject, PreparsedData);
    }
    auto* unit = new PreparsedUnit{answer.inputReportLength, answer.outputReportLength};
    EnterCriticalSection(&preparsedLock);
    preparsedUnits.insert(unit);
    LeaveCriticalSection(&preparsedLock);
    *PreparsedData = reinterpret_cast<PHIDP_PREPARSED_DATA>(unit);
    return TRUE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities)
{
    if (!isOurs(PreparsedData)) {
        auto real = builtin<NTSTATUS(NTAPI*)(PHIDP_PREPARSED_DATA, PHIDP_CAPS)>("HidP_GetCaps");
        return real == nullptr ? HIDP_STATUS_INVALID_PREPARSED_DATA : real(PreparsedData, Capabilities);
    }
    const auto* unit = reinterpret_cast<const PreparsedUnit*>(PreparsedData);
    *Capabilities = HIDP_CAPS{};
    Capabilities->UsagePage = 0xFF00;
    Capabilities->Usage = 0x0001;
    Capabilities->InputReportByteLength = unit->inputReportLength;
    Capabilities->OutputReportByteLength = unit->outputReportLength;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData)
{
    if (!isOurs(PreparsedData)) {
        auto real = builtin<BOOLEAN(NTAPI*)(PHIDP_PREPARSED_DATA)>("HidD_FreePreparsedData");
        return real != nullptr && real(PreparsedData);
    }
    EnterCriticalSection(&preparsedLock);
    preparsedUnits.erase(PreparsedData);
    LeaveCriticalSection(&preparsedLock);
    delete reinterpret_cast<PreparsedUnit*>(PreparsedData);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&preparsedLock);
    return TRUE;
}

}
