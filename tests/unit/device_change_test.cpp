// Units plugged in and pulled out while the window is open.
#include "update_fixture.h"

namespace {

enum class Event { Arrival, Removal };
// Before the event: hint 40017 from start-up; a held 1.16 controller; that unit pulled out, hint 40020.
enum class Start { Nothing, Held, Removed };
// What arrives, or which path a removal names.
enum class Device {
    Accepted, RecognisedOnly, WrongMode, NoController, Incompatible, FailsIdentification,
    NotAUnit,                               // vendor 0x21B8, product 3
    OtherVendor,                            // a mouse
    Keyboard,                               // a keyboard; the broadcast does not name the unit that sits unheld
    OtherClass,                             // a unit, announced as a device of another type (a volume)
    Held, HeldInCapitals, AnotherUnit, PrefixOfHeld, ExtensionOfHeld,
};

struct ChangeCase {
    const char* name;
    Start start;
    Event event;
    Device device;
    unsigned hint;
    bool instructed;
    bool updateEnabled;
    const wchar_t* escText;                 // the panel: "0.0.0" greyed, anything else shown
    std::vector<std::string> openedAndClosed;   // "CreateFileW new", "CloseHandle held", "CreateFileW unannounced"
    std::size_t boxes;
};

void PrintTo(const ChangeCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::vector<std::string> none;
const std::vector<std::string> opensNew = {"CreateFileW new"};
const std::vector<std::string> opensAndClosesNew = {"CreateFileW new", "CloseHandle new"};
const std::vector<std::string> closesHeld = {"CloseHandle held"};
const std::vector<std::string> opensUnannounced = {"CreateFileW unannounced"};

const ChangeCase changes[] = {
    {"ArrivalAccepted", Start::Nothing, Event::Arrival, Device::Accepted, 40000, false, true, L"1.5", opensNew, 0},
    {"ArrivalRecognisedOnlyShowsNothing", Start::Removed, Event::Arrival, Device::RecognisedOnly, 40020, true, false, L"0.0.0", opensNew, 0},
    {"ArrivalWrongMode", Start::Nothing, Event::Arrival, Device::WrongMode, 40015, true, false, L"0.0.0", opensAndClosesNew, 0},
    {"ArrivalNoController", Start::Nothing, Event::Arrival, Device::NoController, 40016, true, false, L"0.0.0", opensAndClosesNew, 0},
    {"ArrivalIncompatible", Start::Nothing, Event::Arrival, Device::Incompatible, 40035, true, false, L"0.0.0", opensAndClosesNew, 1},
    {"ArrivalFailingIdentificationShowsNothing", Start::Removed, Event::Arrival, Device::FailsIdentification, 40020, true, false, L"0.0.0", opensAndClosesNew, 0},
    // Its attributes are read through a handle of its own, given back at once.
    {"ArrivalNotAUnit", Start::Removed, Event::Arrival, Device::NotAUnit, 40020, true, false, L"0.0.0", opensAndClosesNew, 0},
    {"ArrivalOtherVendor", Start::Removed, Event::Arrival, Device::OtherVendor, 40020, true, false, L"0.0.0", none, 0},
    {"ArrivalOfAKeyboardOpensTheUnitNotHeld", Start::Nothing, Event::Arrival, Device::Keyboard, 40000, false, true, L"1.5", opensUnannounced, 0},
    {"ArrivalOtherClass", Start::Removed, Event::Arrival, Device::OtherClass, 40020, true, false, L"0.0.0", none, 0},
    {"HeldArrivalAccepted", Start::Held, Event::Arrival, Device::Accepted, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalRecognisedOnly", Start::Held, Event::Arrival, Device::RecognisedOnly, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalWrongMode", Start::Held, Event::Arrival, Device::WrongMode, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalNoController", Start::Held, Event::Arrival, Device::NoController, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalIncompatible", Start::Held, Event::Arrival, Device::Incompatible, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalFailingIdentification", Start::Held, Event::Arrival, Device::FailsIdentification, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalNotAUnit", Start::Held, Event::Arrival, Device::NotAUnit, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalOtherVendor", Start::Held, Event::Arrival, Device::OtherVendor, 40000, false, true, L"1.16", none, 0},
    {"HeldArrivalOtherClass", Start::Held, Event::Arrival, Device::OtherClass, 40000, false, true, L"1.16", none, 0},
    {"RemovalOfTheHeld", Start::Held, Event::Removal, Device::Held, 40020, true, false, L"0.0.0", closesHeld, 0},
    {"RemovalOfTheHeldInCapitals", Start::Held, Event::Removal, Device::HeldInCapitals, 40020, true, false, L"0.0.0", closesHeld, 0},
    {"RemovalOfAnotherUnit", Start::Held, Event::Removal, Device::AnotherUnit, 40000, false, true, L"1.16", none, 0},
    {"RemovalOfAPrefixOfTheHeldPath", Start::Held, Event::Removal, Device::PrefixOfHeld, 40000, false, true, L"1.16", none, 0},
    {"RemovalOfAnExtensionOfTheHeldPath", Start::Held, Event::Removal, Device::ExtensionOfHeld, 40000, false, true, L"1.16", none, 0},
    {"RemovalOfTheHeldAsAnotherClass", Start::Held, Event::Removal, Device::OtherClass, 40000, false, true, L"1.16", none, 0},
    {"RemovalWithNothingHeld", Start::Nothing, Event::Removal, Device::AnotherUnit, 40017, true, false, L"0.0.0", none, 0},
};

win32double::HidInterface& plugIn(Device device)
{
    sim::UnitIdentity identity;
    identity.escFirmwareVersion = 0x0105;
    win32double::HidInterface other;
    other.inputReportLength = other.outputReportLength = 60;
    switch (device) {
    case Device::RecognisedOnly: identity.deviceTypeCode = 0x0A0640AA; break;
    case Device::WrongMode: identity.bootMode = 1; break;
    case Device::NoController: identity.targetState = 2; break;
    case Device::Incompatible: identity.deviceTypeCode = 0x0BADC0DE; break;
    case Device::NotAUnit: other.vendorId = 0x21B8, other.productId = 3; return win32double::addHidDevice(other);
    case Device::Keyboard: win32double::attachUnit(identity); [[fallthrough]];
    case Device::OtherVendor:
        other.vendorId = 0x046D, other.productId = 0xC52B, other.openable = false;
        return win32double::addHidDevice(other);
    default: break;
    }
    win32double::HidInterface& unit = win32double::attachUnit(identity);
    unit.capsFail = device == Device::FailsIdentification;
    return unit;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring removedPath(Device device, const std::wstring& held)
{
    switch (device) {
    case Device::HeldInCapitals: return upperCase(held);
    case Device::PrefixOfHeld: return held.substr(0, held.size() - 1);
    case Device::ExtensionOfHeld: return held + L"#0";
    case Device::AnotherUnit: {
        win32double::HidInterface& another = win32double::attachUnit();
        win32double::detach(another);
        return another.path;
    }
    default: return held;
    }
}

}

class DeviceChanges : public AppTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(DeviceChanges, ShowWhatWasPluggedInOrPulledOut)
{
    const ChangeCase& c = GetParam();
    win32double::HidInterface* held = c.start != Start::Nothing ? &win32double::attachUnit() : nullptr;
    std::string heldPath = held != nullptr ? narrow(held->path) : "";
    std::string arrived;
    std::vector<std::string> during;        // the journal of the event's handling
    INT_PTR answer = 0;
    runUpdater([&] {
        if (c.start == Start::Removed) {
            win32double::detach(*held);
            sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(held->path));
        }
        std::size_t before = win32double::journal().size();
        DWORD type = c.device == Device::OtherClass ? 2 : DBT_DEVTYP_DEVICEINTERFACE;
        if (c.event == Event::Arrival) {
            win32double::HidInterface& device = plugIn(c.device);
            arrived = narrow(device.path);
            answer = sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(device.path, type));
        } else {
            std::wstring path = removedPath(c.device, held != nullptr ? held->path : L"");
            if (held != nullptr && c.device != Device::OtherClass && path == held->path)
                win32double::detach(*held);
            answer = sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(path, type));
        }
        during.assign(win32double::journal().begin() + static_cast<long>(before), win32double::journal().end());
    });
    EXPECT_EQ(TRUE, answer);
    EXPECT_EQ(c.instructed ? instructedHint(c.hint) : message(c.hint), win32double::controlText(40004));
    EXPECT_EQ(c.updateEnabled, win32double::controlEnabled(1002));
    EXPECT_EQ(c.escText, win32double::controlText(40015));
    EXPECT_EQ(std::wstring(c.escText) != L"0.0.0", win32double::controlEnabled(40015));
    bool shown = c.start != Start::Nothing || std::wstring(c.escText) != L"0.0.0";
    EXPECT_EQ(shown ? L"BENCH-BOX" : message(40039), win32double::controlText(40010)) << "the row keeps the model";
    EXPECT_EQ(c.boxes, win32double::messageBoxes().size());
    std::vector<std::string> openedAndClosed;
    for (const std::string& line : during)
        for (const std::string call : {"CreateFileW ", "CloseHandle "})
            if (line.rfind(call, 0) == 0) {
                std::string path = line.substr(call.size());
                openedAndClosed.push_back(call + (path == arrived ? "new" : path == heldPath ? "held" : "unannounced"));
            }
    EXPECT_EQ(c.openedAndClosed, openedAndClosed);
}

INSTANTIATE_TEST_SUITE_P(EveryChange, DeviceChanges, ::testing::ValuesIn(changes),
                         [](const ::testing::TestParamInfo<ChangeCase>& row) { return std::string(row.param.name); });

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
        EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
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
