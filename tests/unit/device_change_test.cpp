// Units plugged in and pulled out while the window is open.
#include "update_fixture.h"

TEST_F(AppTest, ArrivalWithNoUnitHeldOpensAndShowsTheNewUnit)
{
    struct Case {
        const char* name;
        const char* type;                   // null: no unit arrives, something else does
        std::uint8_t mode;
        std::function<std::wstring()> hint;
        bool updateEnabled;
        bool held;
        const wchar_t* escText;
        std::size_t boxes;
    };
    const Case cases[] = {
        {"accepted", "accepted", 0, [] { return message(40000); }, true, true, L"1.16", 0},
        {"wrong mode", "accepted", 1, [] { return instructedHint(40015); }, false, false, L"0.0.0", 0},
        {"recognised only: nothing changes", "recognised", 0, [] { return instructedHint(40017); }, false, true,
         L"0.0.0", 0},
        {"incompatible", "incompatible", 0, [] { return instructedHint(40035); }, false, false, L"0.0.0", 1},
        {"a mouse: nothing shown", nullptr, 0, [] { return instructedHint(40017); }, false, false, L"0.0.0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        bool held = false;
        INT_PTR answer = 0;
        runUpdater([&] {
            std::wstring path = L"\\\\?\\hid#vid_046d&pid_c52b#1#{4d1e55b2-f16f-11cf-88cb-001111000030}";
            if (c.type != nullptr) {
                sim::UnitIdentity identity;
                identity.bootMode = c.mode;
                identity.deviceTypeCode = std::string(c.type) == "accepted"     ? 0x140FA0FA
                                          : std::string(c.type) == "recognised" ? 0x0A0640AA
                                                                                : 0x0BADC0DE;
                path = win32double::attachUnit(identity).path;
            }
            answer = sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(path));
            held = ConnectedUnit.handle != INVALID_HANDLE_VALUE;
        });
        EXPECT_EQ(TRUE, answer);
        EXPECT_EQ(c.hint(), win32double::controlText(40004));
        EXPECT_EQ(c.updateEnabled, win32double::controlEnabled(1002));
        EXPECT_EQ(c.held, held);
        EXPECT_EQ(c.escText, win32double::controlText(40015));
        EXPECT_EQ(c.boxes, win32double::messageBoxes().size());
        TearDown();
    }
}

TEST_F(AppTest, ArrivalWhileAUnitIsHeldIsIgnored)
{
    win32double::attachUnit();
    runUpdater([] {
        std::size_t opens = win32double::createFileCalls().size();
        win32double::HidInterface& second = win32double::attachUnit();
        EXPECT_EQ(TRUE, sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(second.path)));
        EXPECT_EQ(opens, win32double::createFileCalls().size());
        EXPECT_EQ(TRUE, sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(second.path)));
        EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle) << "another unit's removal is ignored";
        EXPECT_EQ(message(40000), win32double::controlText(40004));
    });
}

TEST_F(AppTest, RemovalOfTheHeldUnitMatchesItsPathWhateverTheLetterCase)
{
    win32double::HidInterface& device = win32double::attachUnit();
    runUpdater([&] {
        win32double::detach(device);
        EXPECT_EQ(TRUE, sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(upperCase(device.path))));
        EXPECT_EQ(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    });
    EXPECT_EQ(instructedHint(40020), win32double::controlText(40004));
    EXPECT_FALSE(win32double::controlEnabled(1002));
    EXPECT_EQ(L"0.0.0", win32double::controlText(40013));
    EXPECT_FALSE(win32double::controlEnabled(40013));
    EXPECT_EQ(L"BENCH-BOX", win32double::controlText(40010)) << "the row still names the unit, greyed";
}

TEST_F(AppTest, OnlyFoldsAToZWhenComparingPaths)
{
    sim::UnitIdentity identity;
    win32double::HidInterface device;
    device.vendorId = 0x21B8;
    device.productId = 2;
    device.inputReportLength = device.outputReportLength = 60;
    device.path = L"\\\\?\\hid#vid_21b8&pid_0002#\u00e4#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    device.unit = std::make_shared<sim::SimulatedUnit>(identity);
    win32double::HidInterface& unit = win32double::addHidDevice(device);
    runUpdater([&] {
        std::wstring folded = upperCase(unit.path);     // the a-umlaut stays as it is
        std::wstring umlautUpper = folded;
        umlautUpper[umlautUpper.find(L'\u00e4')] = L'\u00c4';
        sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(umlautUpper));
        EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle) << "only A to Z match their lower case";
        sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(folded));
        EXPECT_EQ(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    });
}

TEST_F(AppTest, OtherEventsAndDeviceTypesChangeNothing)
{
    win32double::HidInterface& device = win32double::attachUnit();
    runUpdater([&] {
        EXPECT_EQ(FALSE, sendDeviceChange(0x0007, broadcast(device.path)));    // DBT_DEVNODES_CHANGED
        EXPECT_EQ(FALSE, sendDeviceChange(0x8001, broadcast(device.path)));    // query remove
        EXPECT_EQ(TRUE, sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(device.path, 2)));   // a volume
        EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    });
}

TEST_F(AppTest, ArrivalOfAUnitThatFailsIdentificationDoesNotHoldIt)
{
    runUpdater([] {
        sim::UnitIdentity identity;
        win32double::HidInterface& device = win32double::attachUnit(identity);
        device.capsFail = true;
        sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(device.path));
        EXPECT_EQ(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
        EXPECT_EQ(instructedHint(40017), win32double::controlText(40004)) << "nothing is shown";
    });
}

TEST_F(AppTest, AcceptedArrivalAfterAFailedUpdateIsReadyAgain)
{
    win32double::HidInterface& first = win32double::attachUnit();
    first.unit->addFault({sim::FaultTrigger::Block, 10, transportFault(sim::FaultKind::Unplug)});
    runUpdater([] {
        win32double::pressButton(1002);
        EXPECT_EQ(message(40030), win32double::controlText(40004));
        win32double::HidInterface& again = win32double::attachUnit();
        sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(again.path));
        EXPECT_EQ(message(40000), win32double::controlText(40004));
        EXPECT_TRUE(win32double::controlEnabled(1002));
        EXPECT_EQ(L"1.16", win32double::controlText(40015));
    });
}
