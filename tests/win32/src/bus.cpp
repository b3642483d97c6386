// The test side: reset, what is plugged in, and what the product left open.
#include "state.h"

#include <cstdio>
#include <cstdlib>

namespace win32double {

namespace detail {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID device-interface class.
const GUID hidClassGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

State& state()
{
    static State instance;
    return instance;
}

void* newHandleValue()
{
    state().nextHandle += 4;                // never 0 and never INVALID_HANDLE_VALUE
    return reinterpret_cast<void*>(state().nextHandle);
}

bool isPresent(const HidInterface& device)
{
    return device.present && (!device.unit || device.unit->plugged());
}

std::string narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

void fail(DWORD error)
{
    state().lastError = error;
}

}

using detail::state;

void reset()
{
    for (auto& [block, size] : state().heapBlocks)
        std::free(block);
    state() = detail::State{};
}

HidInterface& addHidDevice(HidInterface device)
{
    if (device.path.empty())
        device.path = interfacePath(device.vendorId, device.productId, state().nextSerial);
    ++state().nextSerial;
    return state().bus.emplace_back(std::move(device));
}

HidInterface& attachUnit(const sim::UnitIdentity& identity)
{
    HidInterface device;
    device.vendorId = identity.vendorId;
    device.productId = identity.productId;
    device.inputReportLength = identity.inputReportLength;
    device.outputReportLength = identity.outputReportLength;
    device.unit = std::make_shared<sim::SimulatedUnit>(identity, static_cast<double>(state().nowMs));
    return addHidDevice(std::move(device));
}

void detach(HidInterface& device)
{
    device.present = false;
    if (device.unit)
        device.unit->unplug();
    detail::failPendingIoOf(device);        // a transfer under way fails at once
}

std::wstring interfacePath(USHORT vendorId, USHORT productId, unsigned serial)
{
    wchar_t path[160];
    std::swprintf(path, sizeof path / sizeof path[0],
                  L"\\\\?\\hid#vid_%04x&pid_%04x#7&2f1c3a%02x&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendorId, productId, serial);
    return path;
}

void failDeviceInfoList()
{
    state().classDevsFails = true;
}

void failBitmapInfo()
{
    state().bitmapInfoFails = true;
}

void failHeapAllocation(unsigned nth)
{
    state().heapFailCountdown = nth;
}

OpenCounts openCounts()
{
    std::size_t registrations = 0;
    for (const auto& registration : state().registrations)
        registrations += registration.open ? 1 : 0;
    std::size_t windows = 0;
    for (const auto& window : state().windows)
        windows += window.destroyed || window.foreign ? 0 : 1;
    return {state().fileHandles.size(), state().deviceInfoLists.size(), state().preparsedData.size(),
            state().heapBlocks.size(), registrations, state().gdiObjects.size(),
            static_cast<std::size_t>(state().timerPeriods), state().invalidReleases, windows,
            state().mutexHandles.size(), state().shutdownBlocked ? 1u : 0u,
            (state().executionState & ES_SYSTEM_REQUIRED) && (state().executionState & ES_CONTINUOUS) ? 1u : 0u,
            state().waitObjects.size(), state().pendingIo.size(), state().waitsWithoutEnd,
            state().throttlingControl != 0 ? 1u : 0u};
}

const std::vector<CreateFileCall>& createFileCalls()
{
    return state().createFileCalls;
}

DWORD lastClassDevsFlags()
{
    return state().classDevsFlags;
}

std::uint64_t nowMs()
{
    return state().nowMs;
}

const std::vector<DWORD>& sleeps()
{
    return state().sleeps;
}

void shortenNextSleep(DWORD ms)
{
    state().nextSleepShortfall = ms;
}

const std::vector<std::string>& journal()
{
    return state().journal;
}

}
