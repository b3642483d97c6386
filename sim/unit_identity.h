// What a simulated programming unit is and what its controller holds.
#pragma once

#include <cstdint>

namespace sim {

struct LoaderInfo {
    std::uint8_t byte1 = 0;
    std::uint16_t word = 0;
    std::uint32_t long1 = 0;
    std::uint32_t long2 = 0;
    std::uint8_t byte2 = 0;
};

// Defaults: a BENCH-BOX in normal mode with an updatable controller holding firmware 1.16.
struct UnitIdentity {
    std::uint16_t vendorId = 0x21B8;
    std::uint16_t productId = 2;
    std::uint16_t inputReportLength = 60;   // report ID included, as the HID capabilities give it
    std::uint16_t outputReportLength = 60;
    std::uint8_t bootMode = 0;              // GetStatus byte 3; non-zero: the unit runs its own loader
    std::uint16_t targetState = 3;          // 3: an updatable controller is attached
    std::uint16_t targetStateExtra = 0;
    std::uint32_t unitFirmware = 0x00010300;   // shown as 1.3
    std::uint32_t unitStatusExtra = 0;
    LoaderInfo loader = {};
    std::uint32_t deviceTypeCode = 0x140FA0FA;
    std::uint16_t escFirmwareVersion = 0x0110;
    std::uint32_t bootloaderVersion = 0x00000102;
    std::uint32_t flashSize = 0x20000;      // bytes the controller can hold
    std::uint8_t oldFirmwareByte = 0x5A;    // what the flash holds before an erase
    // Reply bytes the protocol leaves unexamined carry deterministic noise; off, they are zero.
    bool noise = true;
    std::uint32_t noiseSeed = 0x2F6B1D07;
};

}
