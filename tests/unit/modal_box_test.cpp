// Units pulled out and plugged in while a message box is up: a box's modal loop goes on handling
// device notifications, so the window and the unit held afterwards must still agree, and an
// update must never go on into a unit the user did not confirm it for.
#include "update_fixture.h"

namespace {

enum class Box { Warning, VersionQuestion, Incompatibility, Failure };
enum class Action { PullOut, SwapForAccepted, SwapForRecognisedOnly };

// What the window ends with, and what the units were sent.
struct Expected {
    std::vector<unsigned> boxes;            // message IDs of the box texts, in order
    unsigned hint;                          // 0: the hint box is empty
    bool instructed;                        // the hint carries the connection instructions
    bool updateEnabled;
    const wchar_t* escText;
    bool held;
    std::size_t newUnitExchanges;           // identification is 3
};

struct BoxCase {
    const char* name;
    Box box;
    Action action;
    Expected expected;
};

// The failure box of a lock the unit did not confirm, with its code line; 40026 alone is the
// failure of a lock sent to no unit.
constexpr unsigned lockRefused = 1;

// The controller plugged in while the box is up: 17 cells, variant 210, firmware 1.5.
constexpr std::uint32_t acceptedArrival = 0x110FA0D2;
constexpr std::uint32_t recognisedArrival = 0x110FA0AA;

const BoxCase cases[] = {
    {"WarningPullOut", Box::Warning, Action::PullOut, {{40038, 40026}, 40030, false, false, L"0.0.0", false, 0}},
    {"WarningSwapForAccepted", Box::Warning, Action::SwapForAccepted,
     {{40038}, 40000, false, true, L"1.5", true, 3}},
    {"WarningSwapForRecognisedOnly", Box::Warning, Action::SwapForRecognisedOnly,
     {{40038}, 40020, true, false, L"0.0.0", true, 3}},
    {"VersionQuestionPullOut", Box::VersionQuestion, Action::PullOut,
     {{40038, 40023, 40026}, 40030, false, false, L"0.0.0", false, 0}},
    {"VersionQuestionSwapForAccepted", Box::VersionQuestion, Action::SwapForAccepted,
     {{40038, 40023}, 40000, false, true, L"1.5", true, 3}},
    {"VersionQuestionSwapForRecognisedOnly", Box::VersionQuestion, Action::SwapForRecognisedOnly,
     {{40038, 40023}, 40020, true, false, L"0.0.0", true, 3}},
    {"IncompatibilityPullOut", Box::Incompatibility, Action::PullOut, {{40034}, 40035, true, false, L"0.0.0", false, 0}},
    // The arrival showed the new unit; "not compatible" would speak of the wrong controller.
    {"IncompatibilitySwapForAccepted", Box::Incompatibility, Action::SwapForAccepted,
     {{40034}, 40000, false, true, L"1.5", true, 3}},
    {"IncompatibilitySwapForRecognisedOnly", Box::Incompatibility, Action::SwapForRecognisedOnly,
     {{40034}, 0, false, false, L"1.5", true, 3}},
    {"FailurePullOut", Box::Failure, Action::PullOut, {{40038, lockRefused}, 40030, false, false, L"0.0.0", false, 0}},
    // The failure's retry hint replaces whatever the arrival showed; Update keeps its state.
    {"FailureSwapForAccepted", Box::Failure, Action::SwapForAccepted,
     {{40038, lockRefused}, 40030, false, true, L"1.5", true, 3}},
    {"FailureSwapForRecognisedOnly", Box::Failure, Action::SwapForRecognisedOnly,
     {{40038, lockRefused}, 40030, false, false, L"0.0.0", true, 3}},
};

void PrintTo(const BoxCase& c, std::ostream* os)
{
    *os << c.name;
}

sim::UnitIdentity firstUnit(Box box)
{
    sim::UnitIdentity identity;             // 20 cells, variant 250, firmware 1.16
    if (box == Box::VersionQuestion)
        identity.escFirmwareVersion = 0x0112;       // the carried version: the question is asked
    if (box == Box::Incompatibility)
        identity.deviceTypeCode = 0x0BADC0DE;
    return identity;
}

sim::UnitIdentity arrivingUnit(Action action)
{
    sim::UnitIdentity identity;
    identity.deviceTypeCode = action == Action::SwapForAccepted ? acceptedArrival : recognisedArrival;
    identity.escFirmwareVersion = 0x0105;
    return identity;
}

// The text a box of the given message shows.
std::wstring boxText(unsigned id)
{
    if (id == 40034) {
        std::wstring text = expected::messageText(40034, english);
        return text.replace(text.find(L"%s"), 2, L"ZEFRAN HVI");
    }
    if (id == lockRefused)
        return expected::messageText(40026, english) + L"\r\n" + L"The system shows following errorcode: 0x0000065b-0x00000000";
    return expected::messageText(id, english);
}

}

class BoxInteraction : public AppTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(BoxInteraction, WindowAndUnitsAgreeAfterTheBox)
{
    const BoxCase& c = GetParam();
    win32double::HidInterface& first = win32double::attachUnit(firstUnit(c.box));
    if (c.box == Box::Failure)
        first.unit->addFault(onCommand(0x0B, statusByte(0x00)));    // the lock is not confirmed
    const std::map<unsigned, unsigned> boxMessage = {
        {static_cast<unsigned>(Box::Warning), 40038},
        {static_cast<unsigned>(Box::VersionQuestion), 40023},
        {static_cast<unsigned>(Box::Incompatibility), 40034},
        {static_cast<unsigned>(Box::Failure), lockRefused},
    };
    std::wstring inBox = boxText(boxMessage.at(static_cast<unsigned>(c.box)));
    win32double::HidInterface* second = nullptr;
    win32double::whileMessageBoxShown([&](const win32double::MessageBoxCall& box) {
        if (box.text.find(inBox.substr(0, 40)) != 0 || second != nullptr || !first.present)
            return;
        win32double::detach(first);
        sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(first.path));
        if (c.action == Action::PullOut)
            return;
        second = &win32double::attachUnit(arrivingUnit(c.action));
        sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(second->path));
    });
    bool held = false;
    std::uint32_t firstExchanges = 0;
    runUpdater([&] {
        if (c.box != Box::Incompatibility) {
            SetLastError(0);
            win32double::pressButton(1002);
        }
        held = ConnectedUnit.handle != INVALID_HANDLE_VALUE;
        firstExchanges = static_cast<std::uint32_t>(first.unit->transcript().size());
    });

    const Expected& e = c.expected;
    std::vector<std::wstring> expectedBoxes;
    for (unsigned id : e.boxes)
        expectedBoxes.push_back(boxText(id));
    std::vector<std::wstring> shown;
    for (const auto& box : win32double::messageBoxes())
        shown.push_back(box.text);
    EXPECT_EQ(expectedBoxes, shown);
    std::wstring hint = e.hint == 0 ? L"" : e.instructed ? instructedHint(e.hint) : message(e.hint);
    EXPECT_EQ(hint, win32double::controlText(40004));
    EXPECT_EQ(e.updateEnabled, win32double::controlEnabled(1002));
    EXPECT_EQ(e.escText, win32double::controlText(40015));
    EXPECT_EQ(e.held, held);
    // The first unit gets no update command after the box, the second none at all.
    // The failure: identified at start-up and again, then the refused lock.
    std::uint32_t firstExpected = c.box == Box::Failure ? 3u + 3u + 1u : 3u;
    EXPECT_EQ(firstExpected, firstExchanges);
    if (second != nullptr) {
        EXPECT_EQ(e.newUnitExchanges, second->unit->transcript().size());
        EXPECT_EQ(0x5A, second->unit->flash()[0]) << "the new controller still holds its own firmware";
    } else {
        EXPECT_EQ(0u, e.newUnitExchanges);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryBox, BoxInteraction, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<BoxCase>& row) { return std::string(row.param.name); });
