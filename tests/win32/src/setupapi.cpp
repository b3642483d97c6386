// setupapi: the list of HID device interfaces, a snapshot taken when it is asked for.
#include "state.h"

#include <setupapi.h>

#include <cstring>

using win32double::HidInterface;
using win32double::detail::fail;
using win32double::detail::hidClassGuid;
using win32double::detail::isPresent;
using win32double::detail::state;

namespace {

constexpr DWORD detailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

bool isHidClass(const GUID* guid)
{
    return guid != nullptr && std::memcmp(guid, &hidClassGuid, sizeof(GUID)) == 0;
}

std::vector<HidInterface*>* findList(HDEVINFO list)
{
    auto found = state().deviceInfoLists.find(list);
    return found == state().deviceInfoLists.end() ? nullptr : &found->second;
}

// The interface an SP_DEVICE_INTERFACE_DATA names: its Reserved field carries the position in the list.
HidInterface* findInterface(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data)
{
    std::vector<HidInterface*>* members = findList(list);
    if (members == nullptr || data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        data->Reserved == 0 || data->Reserved > members->size())
        return nullptr;
    return (*members)[data->Reserved - 1];
}

}

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR, HWND, DWORD Flags)
{
    state().classDevsFlags = Flags;
    if (state().classDevsFails) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Without DIGCF_PRESENT, Windows lists interfaces of devices that were once attached, too.
    std::vector<HidInterface*> members;
    if ((Flags & DIGCF_DEVICEINTERFACE) && isHidClass(ClassGuid))
        for (HidInterface& device : state().bus)
            if (isPresent(device) || !(Flags & DIGCF_PRESENT))
                members.push_back(&device);
    HDEVINFO list = win32double::detail::newHandleValue();
    state().deviceInfoLists[list] = std::move(members);
    return list;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA, const GUID* InterfaceClassGuid,
                                        DWORD MemberIndex, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData)
{
    std::vector<HidInterface*>* members = findList(DeviceInfoSet);
    if (members == nullptr) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (DeviceInterfaceData == nullptr || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        fail(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!isHidClass(InterfaceClassGuid) || MemberIndex >= members->size()) {
        fail(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    DeviceInterfaceData->InterfaceClassGuid = hidClassGuid;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA)
{
    HidInterface* device = findInterface(DeviceInfoSet, DeviceInterfaceData);
    if (device == nullptr) {
        fail(findList(DeviceInfoSet) == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD needed = detailPathOffset + static_cast<DWORD>((device->path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize != nullptr)
        *RequiredSize = device->reportedDetailSize.value_or(needed);
    if (DeviceInterfaceDetailData == nullptr) {
        fail(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // cbSize must be the size of the fixed part; Windows refuses anything else.
    if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        fail(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (DeviceInterfaceDetailDataSize < needed) {
        fail(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (device->detailFails) {
        fail(ERROR_GEN_FAILURE);
        return FALSE;
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, device->path.c_str(), (device->path.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    if (state().deviceInfoLists.erase(DeviceInfoSet) == 0) {
        ++state().invalidReleases;
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    state().journal.push_back("SetupDiDestroyDeviceInfoList");
    return TRUE;
}

}
