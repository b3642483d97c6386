// Finding, opening and closing the programming unit among the HID interfaces.
#include "discovery.h"
#include "link_fixture.h"

#include <algorithm>
#include <functional>
#include <string>

using win32double::HidInterface;

namespace {

HidInterface foreignDevice(USHORT vendorId, USHORT productId)
{
    HidInterface device;
    device.vendorId = vendorId;
    device.productId = productId;
    device.inputReportLength = 9;
    device.outputReportLength = 9;
    return device;
}

bool wasOpened(const std::wstring& path)
{
    const auto& calls = win32double::createFileCalls();
    return std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return call.path == path && call.opened; });
}

std::size_t journalIndex(const std::string& line)
{
    const auto& journal = win32double::journal();
    return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), line) - journal.begin());
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

}

TEST_F(LinkTest, OpensTheUnitAndRecordsItsHandlePathAndProductId)
{
    sim::UnitIdentity orbipad;
    orbipad.productId = 1;
    HidInterface& unit = win32double::attachUnit(orbipad);

    EXPECT_EQ(0, openDevice());
    EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    ASSERT_NE(nullptr, ConnectedUnit.devicePath);
    EXPECT_EQ(unit.path, std::wstring(ConnectedUnit.devicePath));
    EXPECT_EQ(1, ConnectedUnit.productId);
    // Only present interfaces, listed by interface.
    EXPECT_EQ(18u, win32double::lastClassDevsFlags());
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
}

TEST_F(LinkTest, OpensEveryInterfaceForOverlappedSharedReadWrite)
{
    win32double::addHidDevice(foreignDevice(0x046D, 0xC52B));
    win32double::attachUnit();

    ASSERT_EQ(0, openDevice());
    ASSERT_EQ(2u, win32double::createFileCalls().size());
    for (const auto& call : win32double::createFileCalls()) {
        EXPECT_EQ(0xC0000000u, call.access);        // GENERIC_READ | GENERIC_WRITE
        EXPECT_EQ(0x3u, call.share);                // FILE_SHARE_READ | FILE_SHARE_WRITE
        EXPECT_EQ(3u, call.creation);               // OPEN_EXISTING
        EXPECT_EQ(0x40000080u, call.flags);         // FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED
    }
}

// Each row puts one interface the walk must pass over in front of a good unit.
struct SkipCase {
    const char* name;
    std::function<HidInterface()> make;
};

TEST_F(LinkTest, PassesOverInterfacesThatAreNotAUsableUnitAndClosesThem)
{
    const SkipCase cases[] = {
        {"other vendor", [] { return foreignDevice(0x046D, 2); }},
        {"our vendor, product 3", [] { return foreignDevice(0x21B8, 3); }},
        {"our vendor, product 0", [] { return foreignDevice(0x21B8, 0); }},
        {"attributes unreadable", [] {
             HidInterface d = foreignDevice(0x21B8, 2);
             d.attributesFail = true;
             return d;
         }},
        {"refuses read-write access", [] {
             HidInterface d = foreignDevice(0x21B8, 2);
             d.openable = false;
             return d;
         }},
        {"detail record unreadable", [] {
             HidInterface d = foreignDevice(0x21B8, 2);
             d.detailFails = true;
             return d;
         }},
        {"detail size below the fixed part", [] {
             HidInterface d = foreignDevice(0x21B8, 2);
             d.reportedDetailSize = 4;
             return d;
         }},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HidInterface& skipped = win32double::addHidDevice(c.make());
        HidInterface& unit = win32double::attachUnit();

        EXPECT_EQ(0, openDevice());
        ASSERT_NE(nullptr, ConnectedUnit.devicePath);
        EXPECT_EQ(unit.path, std::wstring(ConnectedUnit.devicePath));
        EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
        if (wasOpened(skipped.path)) {
            EXPECT_LT(journalIndex("CloseHandle " + narrow(skipped.path)), journalIndex("CreateFileW " + narrow(unit.path)));
        }
        TearDown();
    }
}

TEST_F(LinkTest, WalkWithoutAMatchReturnsMinusFourAndLeavesNothingOpen)
{
    struct Case {
        const char* name;
        std::function<void()> plugIn;
    };
    const Case cases[] = {
        {"no HID devices at all", [] {}},
        {"only foreign devices", [] {
             win32double::addHidDevice(foreignDevice(0x046D, 0xC52B));
             win32double::addHidDevice(foreignDevice(0x21B8, 3));
         }},
        {"a unit that was unplugged", [] { win32double::detach(win32double::attachUnit()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.plugIn();
        EXPECT_EQ(-4, openDevice());
        EXPECT_TRUE(recordIsEmpty());
        EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts());
        TearDown();
    }
}

TEST_F(LinkTest, UnobtainableInterfaceListReturnsMinusOne)
{
    win32double::attachUnit();
    win32double::failDeviceInfoList();

    EXPECT_EQ(-1, openDevice());
    EXPECT_TRUE(recordIsEmpty());
    EXPECT_TRUE(win32double::createFileCalls().empty());
}

TEST_F(LinkTest, OfTwoUnitsTheFirstEnumeratedIsOpenedAndTheOtherNeverKept)
{
    HidInterface& first = win32double::attachUnit();
    sim::UnitIdentity orbipad;
    orbipad.productId = 1;
    HidInterface& second = win32double::attachUnit(orbipad);

    EXPECT_EQ(0, openDevice());
    EXPECT_EQ(first.path, std::wstring(ConnectedUnit.devicePath));
    EXPECT_EQ(2, ConnectedUnit.productId);
    EXPECT_FALSE(wasOpened(second.path));
    EXPECT_TRUE(second.unit->transcript().empty());
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
}

TEST_F(LinkTest, ReopeningClosesTheHeldUnitFirstEvenWhenItIsGone)
{
    HidInterface& unit = win32double::attachUnit();
    ASSERT_EQ(0, openDevice());
    win32double::detach(unit);

    EXPECT_EQ(-4, openDevice());
    EXPECT_TRUE(recordIsEmpty());
    EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts());
    EXPECT_LT(journalIndex("CloseHandle " + narrow(unit.path)), win32double::journal().size());
}

TEST_F(LinkTest, ReopeningWhileTheUnitIsStillThereReplacesTheHandle)
{
    HidInterface& unit = win32double::attachUnit();
    ASSERT_EQ(0, openDevice());
    HANDLE before = ConnectedUnit.handle;
    std::size_t journalBefore = win32double::journal().size();

    EXPECT_EQ(0, openDevice());
    EXPECT_NE(before, ConnectedUnit.handle);
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
    const auto& journal = win32double::journal();
    ASSERT_GT(journal.size(), journalBefore + 1);
    EXPECT_EQ("CloseHandle " + narrow(unit.path), journal[journalBefore]);
}

TEST_F(LinkTest, AllocationFailuresSkipTheInterface)
{
    struct Case {
        const char* name;
        unsigned failingAllocation;     // 1: the first unit's detail buffer, 2: its path copy
    };
    for (const Case& c : {Case{"detail buffer", 1}, Case{"path copy", 2}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        HidInterface& first = win32double::attachUnit();
        HidInterface& second = win32double::attachUnit();
        win32double::failHeapAllocation(c.failingAllocation);

        EXPECT_EQ(0, openDevice());
        EXPECT_EQ(second.path, std::wstring(ConnectedUnit.devicePath));
        EXPECT_TRUE(first.unit->transcript().empty());
        EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
        TearDown();
    }
}

TEST_F(LinkTest, FailedIdentificationLeavesTheUnitOpenAndRecorded)
{
    HidInterface& unit = win32double::attachUnit();
    unit.capsFail = true;

    EXPECT_EQ(-1, openDevice());
    EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    EXPECT_EQ(unit.path, std::wstring(ConnectedUnit.devicePath));
    EXPECT_EQ(2, ConnectedUnit.productId);
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
}

TEST_F(LinkTest, CloseDeviceEmptiesTheRecordAndSendsNothing)
{
    HidInterface& unit = win32double::attachUnit();
    ASSERT_EQ(0, openDevice());
    std::size_t exchanges = unit.unit->transcript().size();

    closeDevice();
    EXPECT_TRUE(recordIsEmpty());
    EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts());
    EXPECT_EQ(exchanges, unit.unit->transcript().size());

    // Again, on the empty record: nothing to close or free.
    closeDevice();
    EXPECT_TRUE(recordIsEmpty());
    EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts());
}

TEST_F(LinkTest, RecordStartsEmpty)
{
    ConnectedUnit.productId = 7;
    initConnectedUnit();
    EXPECT_TRUE(recordIsEmpty());
}
