#include "discovery.h"

#include "connected_unit.h"
#include "identification.h"
#include "protocol.h"
#include "result_codes.h"

#include <cstddef>

namespace {

constexpr SIZE_T detailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

struct InterfaceDetail {
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W record;  // heap buffer, freed by the caller
    size_t pathLength;                          // characters, terminator excluded (the type StringCchLengthW fills)
};

// Reads an interface's detail record; false when it cannot be had, and nothing is left allocated.
bool readInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* deviceInterface, InterfaceDetail* detail)
{
    // Asked without a buffer, the call fails and reports the size it needs; only the size counts.
    DWORD requiredSize = 0;
    SetupDiGetDeviceInterfaceDetailW(list, deviceInterface, nullptr, 0, &requiredSize, nullptr);
    if (requiredSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return false;               // too small even for the fixed part: nothing sensible to read

    auto* record = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(HeapAlloc(GetProcessHeap(), 0, requiredSize));
    if (record == nullptr)
        return false;
    // cbSize names the record's fixed part, not the buffer: Windows checks it against its own layout.
    record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SIZE_T pathCapacity = (requiredSize - detailPathOffset) / sizeof(WCHAR);
    if (!SetupDiGetDeviceInterfaceDetailW(list, deviceInterface, record, requiredSize, nullptr, nullptr) ||
        FAILED(StringCchLengthW(record->DevicePath, pathCapacity, &detail->pathLength))) {
        HeapFree(GetProcessHeap(), 0, record);
        return false;
    }
    detail->record = record;
    return true;
}

bool readUnitProductId(HANDLE handle, WORD* productId)
{
    HIDD_ATTRIBUTES attributes = {};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(handle, &attributes))
        return false;
    if (attributes.VendorID != unitVendorId)
        return false;
    if (attributes.ProductID != productIdOrbipad && attributes.ProductID != productIdBenchBox)
        return false;
    *productId = attributes.ProductID;
    return true;
}

WCHAR* copyPath(const InterfaceDetail& detail)
{
    SIZE_T characters = detail.pathLength + 1;
    auto* path = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, characters * sizeof(WCHAR)));
    if (path != nullptr)
        StringCchCopyW(path, characters, detail.record->DevicePath);
    return path;
}

// Opens the interface and keeps it in ConnectedUnit if it is a programming unit.
bool openIfUnit(const InterfaceDetail& detail)
{
    // Read-write access, overlapped so that no transfer holds the thread. Keyboards and mice
    // refuse it; they are passed over.
    HANDLE handle = CreateFileW(detail.record->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;

    WORD productId = 0;
    WCHAR* path = nullptr;
    if (!readUnitProductId(handle, &productId) || (path = copyPath(detail)) == nullptr) {
        CloseHandle(handle);
        return false;
    }
    ConnectedUnit.productId = productId;
    ConnectedUnit.handle = handle;
    ConnectedUnit.devicePath = path;
    countUnitConnection();
    return true;
}

bool openInterfaceIfUnit(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* deviceInterface)
{
    InterfaceDetail detail = {};
    if (!readInterfaceDetail(list, deviceInterface, &detail))
        return false;
    bool opened = openIfUnit(detail);
    HeapFree(GetProcessHeap(), 0, detail.record);
    return opened;
}

}

int openDevice()
{
    closeDevice();

    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO list = SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE)
        return resultNoUnit;

    // Every index is tried once; the enumeration fails past the last interface.
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA deviceInterface = {};
        deviceInterface.cbSize = sizeof deviceInterface;
        if (!SetupDiEnumDeviceInterfaces(list, nullptr, &hidGuid, index, &deviceInterface)) {
            SetupDiDestroyDeviceInfoList(list);
            return resultNoMatchingUnit;
        }
        if (openInterfaceIfUnit(list, &deviceInterface)) {
            SetupDiDestroyDeviceInfoList(list);
            return identifyDevice();
        }
    }
}
