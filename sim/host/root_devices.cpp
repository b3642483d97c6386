#include "root_devices.h"

#include "unit_link.h"

#include <windows.h>
#include <setupapi.h>
#include <devguid.h>
#include <winsvc.h>

#include <cwchar>

#ifndef MAX_DEVICE_ID_LEN
#define MAX_DEVICE_ID_LEN 200      // cfgmgr32.h's, which MinGW's setupapi.h does not bring
#endif

namespace host {

namespace {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID interface class.
constexpr GUID hidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}, the HIDClass device setup class.
constexpr GUID hidSetupClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};
constexpr DWORD reenumerateRootDevices = 128;   // what winedevice takes to enumerate a driver's root devices
constexpr wchar_t hardwareIds[] = L"ROOT\\ZEFRAN_SIM_UNIT\0";

std::string lastErrorText(const char* what)
{
    return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

// Starts the driver's service if it is not running, then has it enumerate its root devices:
// the new one is started, a removed one is let go.
bool reenumerate(std::string& error)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager == nullptr ? nullptr
                                           : OpenServiceW(manager, UNIT_LINK_SERVICE,
                                                          SERVICE_START | SERVICE_USER_DEFINED_CONTROL);
    bool ok = service != nullptr;
    if (!ok)
        error = lastErrorText("opening the zefranhid service (is the prefix readied with scripts/wine-prefix?)");
    if (ok && !StartServiceW(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        error = lastErrorText("StartServiceW");
        ok = false;
    }
    SERVICE_STATUS status;
    if (ok && !ControlService(service, reenumerateRootDevices, &status)) {
        error = lastErrorText("ControlService");
        ok = false;
    }
    if (service != nullptr)
        CloseServiceHandle(service);
    if (manager != nullptr)
        CloseServiceHandle(manager);
    return ok;
}

std::wstring lowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

}

std::wstring instancePart(int number)
{
    wchar_t part[16];
    std::swprintf(part, 16, L"%04d", number);
    return part;
}

std::wstring rootInstanceId(unsigned short vendorId, unsigned short productId, int number)
{
    wchar_t id[64];
    std::swprintf(id, 64, L"ROOT\\VID_%04X&PID_%04X\\%ls", vendorId, productId, instancePart(number).c_str());
    return id;
}

bool addRootDevice(const std::wstring& instanceId, std::string& error)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&hidSetupClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        error = lastErrorText("SetupDiCreateDeviceInfoList");
        return false;
    }
    SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
    bool ok = SetupDiCreateDeviceInfoW(set, instanceId.c_str(), &hidSetupClass, nullptr, nullptr, 0, &device);
    if (!ok)
        error = lastErrorText("SetupDiCreateDeviceInfoW");
    ok = ok && SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                                 reinterpret_cast<const BYTE*>(hardwareIds), sizeof hardwareIds);
    ok = ok && SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device);
    // The service alone decides which driver the PnP manager loads for a root device; no INF is
    // installed, so a unit is added again without the copy that fails while the driver is loaded.
    ok = ok && SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_SERVICE,
                                                 reinterpret_cast<const BYTE*>(UNIT_LINK_SERVICE),
                                                 sizeof UNIT_LINK_SERVICE);
    if (!ok && error.empty())
        error = lastErrorText("registering the root device");
    SetupDiDestroyDeviceInfoList(set);
    return ok && reenumerate(error);
}

bool removeRootDevice(const std::wstring& instanceId)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
    // DIF_REMOVE has the service enumerate its root devices again, which removes this one.
    bool removed = SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &device) &&
                   SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
    SetupDiDestroyDeviceInfoList(set);
    return removed;
}

int removeLeftoverDevices()
{
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, L"ROOT", nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<std::wstring> leftovers;
    SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        wchar_t service[64] = {};
        wchar_t id[MAX_DEVICE_ID_LEN] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_SERVICE, nullptr, reinterpret_cast<BYTE*>(service),
                                              sizeof service, nullptr) &&
            _wcsicmp(service, UNIT_LINK_SERVICE) == 0 &&
            SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr))
            leftovers.push_back(id);
    }
    SetupDiDestroyDeviceInfoList(set);
    int removed = 0;
    for (const std::wstring& id : leftovers)
        removed += removeRootDevice(id) ? 1 : 0;
    return removed;
}

std::vector<std::wstring> presentHidPaths()
{
    std::vector<std::wstring> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&hidInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    SP_DEVICE_INTERFACE_DATA entry = {sizeof entry, {}, 0, 0};
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidInterfaceClass, i, &entry); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        std::vector<BYTE> buffer(size + sizeof(wchar_t));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (size != 0 && SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr))
            paths.push_back(lowerCase(detail->DevicePath));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::wstring presentInterfacePath(const std::wstring& instanceId)
{
    // ROOT\VID_21B8&PID_0002\0003 gives the interface \\?\hid#vid_21b8&pid_0002#0003#{...}.
    std::wstring part = L"#" + lowerCase(instanceId.substr(instanceId.find(L'\\') + 1)) + L"#";
    part[part.find(L'\\')] = L'#';
    for (const std::wstring& path : presentHidPaths())
        if (path.find(part) != std::wstring::npos)
            return path;
    return L"";
}

bool waitForInterface(const std::wstring& instanceId, bool present, unsigned timeoutMs)
{
    for (unsigned waited = 0;; waited += 20) {
        if (presentInterfacePath(instanceId).empty() != present)
            return true;
        if (waited >= timeoutMs)
            return false;
        Sleep(20);
    }
}

}
