// hid: the class GUID, attributes and capabilities of an open HID handle.
#include "state.h"

extern "C" {
#include <hidsdi.h>
}

using win32double::HidInterface;
using win32double::detail::fail;
using win32double::detail::isPresent;
using win32double::detail::state;

namespace {

HidInterface* deviceOf(HANDLE handle)
{
    auto found = state().fileHandles.find(handle);
    if (found == state().fileHandles.end() || !isPresent(*found->second.device))
        return nullptr;
    return found->second.device;
}

}

void NTAPI HidD_GetHidGuid(LPGUID HidGuid)
{
    *HidGuid = win32double::detail::hidClassGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes)
{
    HidInterface* device = deviceOf(HidDeviceObject);
    if (device == nullptr || device->attributesFail) {
        fail(ERROR_GEN_FAILURE);
        return FALSE;
    }
    Attributes->VendorID = device->vendorId;
    Attributes->ProductID = device->productId;
    Attributes->VersionNumber = device->versionNumber;
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData)
{
    HidInterface* device = deviceOf(HidDeviceObject);
    if (device == nullptr || device->preparsedDataFails) {
        fail(ERROR_GEN_FAILURE);
        return FALSE;
    }
    void* data = win32double::detail::newHandleValue();
    state().preparsedData[data] = device;
    *PreparsedData = static_cast<PHIDP_PREPARSED_DATA>(data);
    return TRUE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities)
{
    auto found = state().preparsedData.find(PreparsedData);
    if (found == state().preparsedData.end() || found->second->capsFail)
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    *Capabilities = HIDP_CAPS{};
    Capabilities->UsagePage = 0xFF00;       // vendor-defined
    Capabilities->Usage = 0x0001;
    Capabilities->InputReportByteLength = found->second->inputReportLength;
    Capabilities->OutputReportByteLength = found->second->outputReportLength;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData)
{
    if (state().preparsedData.erase(PreparsedData) == 0) {
        ++state().invalidReleases;
        return FALSE;
    }
    state().journal.push_back("HidD_FreePreparsedData");
    return TRUE;
}

BOOLEAN NTAPI HidD_FlushQueue(HANDLE HidDeviceObject)
{
    state().journal.push_back("HidD_FlushQueue");
    if (deviceOf(HidDeviceObject) == nullptr) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
