// Each link test starts from a clean double and an empty ConnectedUnit, and ends by checking
// that nothing but the held unit was left open.
#pragma once

#include "connected_unit.h"
#include "fault_helpers.h"
#include "win32_double.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win32double::reset();
        initConnectedUnit();
    }

    void TearDown() override
    {
        closeDevice();
        EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts()) << "something was left open or freed twice";
        win32double::reset();
    }

    // What is open while a unit is held: its handle and its path, nothing else.
    static win32double::OpenCounts heldUnitOnly()
    {
        win32double::OpenCounts counts;
        counts.fileHandles = 1;
        counts.heapBlocks = 1;
        return counts;
    }

    // Field by field: the record's padding is not part of its state.
    static bool recordIsEmpty()
    {
        const ConnectedUnitRecord& unit = ConnectedUnit;
        static const BYTE zeros[40] = {};
        return unit.handle == INVALID_HANDLE_VALUE && unit.devicePath == nullptr && unit.outputReportLength == 0 &&
               unit.inputReportLength == 0 && unit.unitBootMode == 0 && unit.unitFirmwareVersion == 0 &&
               unit.unitStatusExtra == 0 && unit.targetState == 0 && unit.targetStateExtra == 0 &&
               unit.unitLoaderInfo.loaderByte1 == 0 && unit.unitLoaderInfo.loaderWord == 0 &&
               unit.unitLoaderInfo.loaderLong1 == 0 && unit.unitLoaderInfo.loaderLong2 == 0 &&
               unit.unitLoaderInfo.loaderByte2 == 0 && std::memcmp(&unit.targetInfo, zeros, 32) == 0 &&
               std::memcmp(&unit.targetIdentity, zeros, 40) == 0 && unit.productId == 0;
    }
};

// A report as the protocol lays it out: the given leading bytes, zero to the full length.
inline std::vector<std::uint8_t> report(std::initializer_list<std::uint8_t> leading, std::size_t length = 60)
{
    std::vector<std::uint8_t> bytes(leading);
    bytes.resize(length, 0);
    return bytes;
}
