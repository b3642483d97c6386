// The test side of the Win32 test double: what is plugged in, what the product left open,
// the virtual clock and the journal of calls whose order matters.
#pragma once

#include <windows.h>

#include "simulated_unit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32double {

// One HID device interface on the simulated bus.
struct HidInterface {
    std::wstring path;
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT versionNumber = 0x0100;
    USHORT inputReportLength = 0;           // capabilities, report ID included
    USHORT outputReportLength = 0;
    bool present = true;                    // false once detached (a unit: once unplugged)
    bool openable = true;                   // false: read-write access is refused, as for keyboards and mice
    bool detailFails = false;               // the detail record cannot be read (the size query still answers)
    std::optional<DWORD> reportedDetailSize;// the size query answers this instead of the true size
    bool attributesFail = false;
    bool preparsedDataFails = false;
    bool capsFail = false;
    std::shared_ptr<sim::SimulatedUnit> unit; // null: a HID device that is not a programming unit
};

// A clean double: nothing plugged in, nothing open, clock at zero, empty journal.
// Memory the product leaked is released here, after the test has had the chance to see it.
void reset();

// Adds an interface at the end of the enumeration order.
HidInterface& addHidDevice(HidInterface device);
// A simulated programming unit behind a new interface whose IDs and capabilities are its own.
HidInterface& attachUnit(const sim::UnitIdentity& identity = {});
// The interface disappears: handles on it fail as an unplugged device's do.
void detach(HidInterface& device);

// The path the bus gives its nth interface: "\\?\hid#vid_xxxx&pid_xxxx#...#{hid class guid}".
std::wstring interfacePath(USHORT vendorId, USHORT productId, unsigned serial);

// Failure switches.
void failDeviceInfoList();                  // SetupDiGetClassDevsW returns INVALID_HANDLE_VALUE
void failHeapAllocation(unsigned nth);      // the nth HeapAlloc from now fails, counting from 1

struct OpenCounts {
    std::size_t fileHandles = 0;
    std::size_t deviceInfoLists = 0;
    std::size_t preparsedData = 0;
    std::size_t heapBlocks = 0;
    std::size_t invalidReleases = 0;        // frees and closes of things never handed out, or twice
    bool operator==(const OpenCounts&) const = default;
};
OpenCounts openCounts();

struct CreateFileCall {
    std::wstring path;
    DWORD access;
    DWORD share;
    DWORD creation;
    DWORD flags;
    bool opened;
};
const std::vector<CreateFileCall>& createFileCalls();
DWORD lastClassDevsFlags();

// Virtual time: Sleep advances the clock and is recorded; nothing waits.
std::uint64_t nowMs();
const std::vector<DWORD>& sleeps();

// The resources windres compiled for the updater, read from its .res file once.
// A string-table block is also kept widened to WCHAR units: the product walks blocks as WCHARs.
struct Resource {
    WORD typeId = 0;                        // 0: the type has a name instead
    std::u16string typeName;
    WORD nameId = 0;                        // 0: the resource has a name instead
    std::u16string name;
    WORD language = 0;
    std::vector<std::uint8_t> data;         // as stored
    std::vector<WCHAR> wide;                // RT_STRING only: data as WCHAR units
};
const std::vector<Resource>& resources();
HINSTANCE moduleInstance();                 // the module the resources belong to
void setUserInterfaceLanguage(LANGID language);   // reset() restores 0x0409

// Calls whose order matters, one line each: "WriteFile 60", "ReadFile 60 failed", "Sleep 1000",
// "CreateFileW <path>", "CloseHandle <path>", "SetupDiDestroyDeviceInfoList".
const std::vector<std::string>& journal();

}
