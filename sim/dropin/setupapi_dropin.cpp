// setupapi.dll for the updater under Wine: the HID interface list is Wine's own devices (its
// virtual mouse and keyboard) followed by the simulated units, in the order they were attached.
#define _SETUPAPI_                  // this is setupapi.dll: its functions are defined here, not imported
#include "dropin_protocol.h"
#include "units.h"

#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A list of ours: the builtin's list and how many members it had, then the units' paths.
struct DeviceList {
    DWORD magic;
    HDEVINFO builtin;
    DWORD builtinCount;
    std::vector<std::wstring> unitPaths;
};

constexpr DWORD listMagic = 0x5A53494D;                         // "ZSIM"
constexpr ULONG_PTR unitTag = static_cast<ULONG_PTR>(0x5A5A) << 48;

template <typename Function>
Function builtin(const char* name)
{
    static HMODULE module = dropin::builtinModule(L"setupapi.dll");
    return module == nullptr ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

using GetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
using EnumInterfaces = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA);
using GetDetail = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_W, DWORD, PDWORD,
                                PSP_DEVINFO_DATA);
using DestroyList = BOOL(WINAPI*)(HDEVINFO);

DeviceList* ours(HDEVINFO list)
{
    auto* candidate = static_cast<DeviceList*>(list);
    return candidate != nullptr && list != INVALID_HANDLE_VALUE && candidate->magic == listMagic ? candidate : nullptr;
}

DWORD countBuiltin(HDEVINFO list, const GUID* guid)
{
    auto enumerate = builtin<EnumInterfaces>("SetupDiEnumDeviceInterfaces");
    DWORD count = 0;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    while (enumerate != nullptr && list != INVALID_HANDLE_VALUE && enumerate(list, nullptr, guid, count, &data))
        ++count;
    return count;
}

}

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    dropin::startSimulation();
    auto getClassDevs = builtin<GetClassDevs>("SetupDiGetClassDevsW");
    HDEVINFO real = getClassDevs == nullptr ? INVALID_HANDLE_VALUE : getClassDevs(ClassGuid, Enumerator, hwndParent, Flags);
    auto* list = new DeviceList{listMagic, real, countBuiltin(real, ClassGuid), {}};
    bool hid = ClassGuid != nullptr && std::memcmp(ClassGuid, &dropin::hidClassGuid, sizeof(GUID)) == 0;
    if (hid && (Flags & DIGCF_DEVICEINTERFACE))
        list->unitPaths = dropin::presentUnitPaths();
    return list;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData)
{
    DeviceList* list = ours(DeviceInfoSet);
    if (list == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (MemberIndex < list->builtinCount)
        return builtin<EnumInterfaces>("SetupDiEnumDeviceInterfaces")(list->builtin, DeviceInfoData, InterfaceClassGuid,
                                                                       MemberIndex, DeviceInterfaceData);
    DWORD unit = MemberIndex - list->builtinCount;
    if (unit >= list->unitPaths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    if (DeviceInterfaceData == nullptr || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    DeviceInterfaceData->InterfaceClassGuid = dropin::hidClassGuid;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = unitTag | unit;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData)
{
    DeviceList* list = ours(DeviceInfoSet);
    if (list == nullptr || DeviceInterfaceData == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ULONG_PTR reserved = DeviceInterfaceData->Reserved;
    if ((reserved & ~static_cast<ULONG_PTR>(0xFFFF)) != unitTag)
        return builtin<GetDetail>("SetupDiGetDeviceInterfaceDetailW")(list->builtin, DeviceInterfaceData,
                                                                       DeviceInterfaceDetailData,
                                                                       DeviceInterfaceDetailDataSize, RequiredSize,
                                                                       DeviceInfoData);
    std::size_t unit = reserved & 0xFFFF;
    if (unit >= list->unitPaths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring& path = list->unitPaths[unit];
    DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                      (path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize != nullptr)
        *RequiredSize = needed;
    if (DeviceInterfaceDetailData == nullptr || DeviceInterfaceDetailDataSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    DeviceList* list = ours(DeviceInfoSet);
    if (list == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (list->builtin != INVALID_HANDLE_VALUE)
        builtin<DestroyList>("SetupDiDestroyDeviceInfoList")(list->builtin);
    list->magic = 0;
    delete list;
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH)
        dropin::saveAllFlash();
    return TRUE;
}

}
