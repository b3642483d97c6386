#include "bare_client.h"

#include <windows.h>
#include <mmsystem.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstring>

namespace e2e {

namespace {

constexpr std::uint32_t key = 0x3C5A96E1;

double now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// At least ms by the clock, as the updater waits.
void wait(DWORD ms)
{
    double until = now() + ms;
    for (double left = ms; left > 0; left = until - now())
        Sleep(static_cast<DWORD>(left + 0.999));
}

void putLong(std::uint8_t* report, int at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        report[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

class Exchanger {
public:
    explicit Exchanger(HANDLE handle) : handle_(handle) {}
    // One request and its reply, with a wait between them; the reply replaces the request.
    bool exchange(std::uint8_t (&report)[60], DWORD waitMs, BareRun& run)
    {
        DWORD moved = 0;
        double started = now();
        if (!WriteFile(handle_, report, 60, &moved, nullptr))
            return false;
        double written = now();
        if (waitMs != 0)
            wait(waitMs);
        double waited = now();
        report[0] = 0x02;
        if (!ReadFile(handle_, report, 60, &moved, nullptr))
            return false;
        run.roundTripsMs.push_back((written - started) + (now() - waited));
        return true;
    }

private:
    HANDLE handle_;
};

void request(std::uint8_t (&report)[60], std::uint8_t command, std::uint8_t length, std::uint8_t parameter = 0)
{
    std::memset(report, 0, sizeof report);
    report[0] = 0x01;
    report[1] = command;
    report[2] = length;
    report[3] = parameter;
}

bool identify(Exchanger& unit, std::uint8_t (&report)[60], BareRun& run)
{
    request(report, 0x08, 0x00);
    if (!unit.exchange(report, 0, run))
        return false;
    request(report, 0x1D, 0x08);
    putLong(report, 4, 0x00000020);
    putLong(report, 8, 0xFFFFFFE0);
    if (!unit.exchange(report, 0, run))
        return false;
    report[0] = 0x01;                       // over the information reply, as the updater sends it
    report[1] = 0x22;
    return unit.exchange(report, 0, run);
}

bool prepare(Exchanger& unit, std::uint8_t (&report)[60], BareRun& run)
{
    request(report, 0x0B, 0x01, 0x01);
    bool ok = unit.exchange(report, 0, run);
    wait(20);
    request(report, 0x20, 0x01, 0x00);
    ok = ok && unit.exchange(report, 0, run);
    wait(20);
    request(report, 0x1E, 0x04);
    putLong(report, 4, key);
    ok = ok && unit.exchange(report, 1000, run);
    wait(4000);
    wait(20);
    request(report, 0x1F, 0x09, 0x01);
    putLong(report, 8, key);
    ok = ok && unit.exchange(report, 0, run);
    wait(20);
    return ok;
}

// Shared, as the updater opens it, so that two clients can hold one unit.
HANDLE openUnit(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}

std::wstring unitInterfacePath(int unit)
{
    wchar_t part[16];
    swprintf(part, 16, L"#%04d#", unit);
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO list = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    std::wstring found;
    for (DWORD i = 0; found.empty() && SetupDiEnumDeviceInterfaces(list, nullptr, &hid, i, &data); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(list, &data, nullptr, 0, &size, nullptr);
        std::vector<BYTE> buffer(size);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailW(list, &data, detail, size, nullptr, nullptr) &&
            std::wstring(detail->DevicePath).find(part) != std::wstring::npos &&
            std::wstring(detail->DevicePath).find(L"vid_21b8") != std::wstring::npos)
            found = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(list);
    return found;
}

BareRun bareUpdate(const std::wstring& path, const std::vector<std::uint8_t>& image)
{
    BareRun run;
    HANDLE handle = openUnit(path);
    if (handle == INVALID_HANDLE_VALUE)
        return run;
    timeBeginPeriod(1);
    Exchanger unit(handle);
    std::uint8_t report[60];
    bool ok = identify(unit, report, run);
    double started = now();                 // the update alone, as the updater's is timed
    ok = ok && prepare(unit, report, run);
    for (std::size_t at = 0; ok && at < image.size(); at += 48) {
        request(report, 0x1B, 48);
        std::memcpy(report + 4, image.data() + at, 48);   // the catalogue's images are whole blocks
        ok = unit.exchange(report, 0, run);
        wait(20);
    }
    request(report, 0x20, 0x01, 0x01);
    ok = ok && unit.exchange(report, 0, run);
    request(report, 0x0B, 0x01, 0x00);
    ok = ok && unit.exchange(report, 0, run);
    run.totalMs = now() - started;
    timeEndPeriod(1);
    CloseHandle(handle);
    run.ok = ok;
    return run;
}

BareRun bareStatusRequests(const std::wstring& path, int count)
{
    BareRun run;
    HANDLE handle = openUnit(path);
    if (handle == INVALID_HANDLE_VALUE)
        return run;
    Exchanger unit(handle);
    std::uint8_t report[60];
    double started = now();
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        request(report, 0x08, 0x00);
        ok = unit.exchange(report, 0, run);
    }
    run.totalMs = now() - started;
    CloseHandle(handle);
    run.ok = ok;
    return run;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}
