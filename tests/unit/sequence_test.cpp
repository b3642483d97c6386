// The order of what the window and the unit go through on each main path, compared as one
// sequence: every request by its command code, every reply, every wait, and the window's calls
// between them. A wait on the wrong side of its command, or a closing command after the success
// hint, fails here.
#include "update_fixture.h"

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One exchange of 60-byte reports, by the request's command code.
Lines exchange(const std::string& code)
{
    return {"WriteFile " + code + " 60", "ReadFile 60"};
}

Lines wait(DWORD ms)
{
    return {"Sleep " + std::to_string(ms)};
}

// GetStatus, then ReadTargetInfo and ReadTargetIdentity for an updatable controller, or
// ReadMemory for a unit in its loader mode.
const Lines identified = exchange("0x08") + exchange("0x1d") + exchange("0x22");
const Lines identifiedInLoaderMode = exchange("0x08") + exchange("0x0a");
const Lines identifiedWithoutController = exchange("0x08");

// The pieces, each in the order the window's own rules give.
const Lines startUp = {"DialogBoxIndirectParamW", "SetWindowTextW dialog", "SetWindowTextW 40010",
                       "SetWindowTextW 1005",     "SetWindowTextW 40011",  "RegisterDeviceNotificationW"};
Lines opened(const std::string& path, const Lines& identification = identified)
{
    return Lines{"CreateFileW " + path, "SetupDiDestroyDeviceInfoList", "HidD_FreePreparsedData", "HidD_FlushQueue"} +
           identification;
}
const Lines nothingFound = {"SetupDiDestroyDeviceInfoList"};
const Lines instructedHint = {"SetWindowTextW 40004", "SetWindowTextW 40004"};     // status, then instructions
const Lines hint = {"SetWindowTextW 40004"};
const Lines filledPanel = {"EnableWindow 40013 1", "EnableWindow 40014 1", "EnableWindow 40015 1",
                           "EnableWindow 40010 1", "EnableWindow 1005 1",  "EnableWindow 40011 1",
                           "SetWindowTextW 40013", "SetWindowTextW 40014", "SetWindowTextW 40015",
                           "SetWindowTextW 40010"};
const Lines emptyPanel = {"SetWindowTextW 40013", "SetWindowTextW 40014", "SetWindowTextW 40015",
                          "EnableWindow 40013 0", "EnableWindow 40014 0", "EnableWindow 40015 0",
                          "EnableWindow 40010 0", "EnableWindow 1005 0",  "EnableWindow 40011 0"};
const Lines updateOn = {"EnableWindow 1002 1"};
const Lines updateOff = {"EnableWindow 1002 0"};
Lines closed(const std::string& path)
{
    return {"CloseHandle " + path};
}
Lines closeWindow(const std::string& heldPath)
{
    Lines lines = {"UnregisterDeviceNotification"};
    if (!heldPath.empty())
        lines.push_back("CloseHandle " + heldPath);
    lines.push_back("EndDialog 2");
    return lines;
}
// Image 172 of a 20-cell controller: 98,304 bytes, 2,048 blocks.
constexpr std::size_t imageBlocks = 2048;
const Lines raised = {"SetWindowPos dialog", "SetWindowPos msctls_progress32"};

// Update, Close and the system menu's Close greyed, shutdown held off, the PC kept awake,
// throttling held off (timer resolution and execution speed) and a high-resolution timer for the
// waits, from before the first command until after the last; Close comes back, Update stays greyed.
const Lines updateBegins = {"EnableWindow 1002 0", "EnableWindow 2 0", "EnableMenuItem dialog 0xf060 0x1",
                            "SetThreadExecutionState 0x80000001", "ShutdownBlockReasonCreate dialog",
                            "SetProcessInformation 0x5 0x0", "CreateWaitableTimerExW 0x2"};
const Lines updateEnds = {"SetProcessInformation 0x0 0x0", "EnableWindow 2 1", "EnableMenuItem dialog 0xf060 0x0",
                          "ShutdownBlockReasonDestroy dialog", "SetThreadExecutionState 0x80000000"};

// Identified again right before the first command that writes: a report left from before is
// dropped, then the same exchanges as at opening.
Lines identifiedAgain(const Lines& identification = identified)
{
    return Lines{"HidD_FlushQueue"} + identification;
}

// Identified again; then the progress window created and raised before the lock; lock, unprotect,
// erase (its own second inside the exchange, then four and the address's lead as one gap),
// address, each with its waits; the progress window raised once more with both shown after the
// first block, since the main window is in the foreground.
// A failing block ends the transfer at once, without a wait.
// Restore and release, each request and its reply.
const Lines closingCommands = exchange("0x20") + exchange("0x0b");

Lines blockTransfer(std::size_t failingBlock = 0, const Lines& failingExchange = {"WriteFile 0x1b 60", "ReadFile 60 failed"},
                    const Lines& closing = closingCommands)
{
    Lines lines = updateBegins + identifiedAgain() + Lines{"CreateWindowExW msctls_progress32"} + raised +
                  exchange("0x0b") + wait(20) + exchange("0x20") + wait(20) +
                  Lines{"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60"} + wait(4000 + 20) + exchange("0x1f") + wait(20);
    for (std::size_t block = 1; block <= imageBlocks; ++block) {
        if (block == failingBlock)
            return lines + failingExchange + Lines{"DestroyWindow msctls_progress32"} + updateEnds;
        lines = lines + exchange("0x1b");
        if (block == 1)
            lines = lines + raised + Lines{"ShowWindow dialog 5", "ShowWindow msctls_progress32 5"};
        lines = lines + wait(20);
    }
    // Restore and release, without waits and before anything is shown.
    return lines + Lines{"DestroyWindow msctls_progress32"} + closing + updateEnds;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

struct PathCase {
    const char* name;
    std::function<Lines()> run;             // runs the updater, returns the expected sequence
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string attach(std::uint32_t type, std::uint8_t mode = 0, std::uint16_t state = 3)
{
    sim::UnitIdentity identity;
    identity.deviceTypeCode = type;
    identity.bootMode = mode;
    identity.targetState = state;
    return narrow(win32double::attachUnit(identity).path);
}

// The system tells the window of a device change while the update runs: the message waits
// until the window reads its messages.
void sendChangeFromOutside(WPARAM event, const win32double::HidInterface& device)
{
    win32double::sendFromOutside(WM_DEVICECHANGE, event, broadcast(device.path));
}

// The wait after this block of the update: lock, unprotect, the erase's and the gap after it,
// and the address come first.
void afterBlock(std::size_t block, std::function<void()> action)
{
    win32double::whileSleeping([block, action](std::size_t waits) {
        if (waits == 5 + block)
            action();
    });
}

// Starts with the unit and leaves the main window in the foreground, then runs the script.
void runWith(std::function<void()> script)
{
    win32double::whileDialogRuns([script](HWND dialog) {
        win32double::setForegroundWindow(dialog);
        script();
        win32double::pressButton(2);
    });
    wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1);
}

// What the window shows for the controller found in place of the confirmed one.
enum class Shown { Ready, RecognisedOnly, Incompatible, NoController, WrongMode };

// The held unit's lead goes to another controller after start-up, with no device change; Update
// and OK find it before anything is written and show it as its arrival would, hint included.
Lines changedBehindTheUnit(const std::function<void(sim::SimulatedUnit&)>& change, Shown shown,
                           const Lines& identification = identified)
{
    win32double::HidInterface& device = win32double::attachUnit();
    std::string unit = narrow(device.path);
    runWith([&] {
        change(*device.unit);
        win32double::pressButton(1002);
    });
    const Lines dropped = updateOff + closed(unit) + instructedHint + emptyPanel + closeWindow("");
    const std::map<Shown, std::pair<std::wstring, Lines>> reactions = {
        {Shown::Ready, {expected::messageText(40000, english), hint + filledPanel + updateOn + closeWindow(unit)}},
        {Shown::RecognisedOnly, {L"", hint + filledPanel + closeWindow(unit)}},
        {Shown::Incompatible,
         {expected::instructedHintText(40035, english),
          updateOff + closed(unit) + Lines{"MessageBoxW"} + instructedHint + emptyPanel + closeWindow("")}},
        {Shown::NoController, {expected::instructedHintText(40016, english), dropped}},
        {Shown::WrongMode, {expected::instructedHintText(40015, english), dropped}},
    };
    EXPECT_EQ(reactions.at(shown).first, win32double::controlText(40004));
    EXPECT_EQ(shown == Shown::Ready, win32double::controlEnabled(1002));
    EXPECT_EQ(shown == Shown::Incompatible ? 2u : 1u, win32double::messageBoxes().size()) << "no failure box";
    return startUp + opened(unit) + hint + updateOn + filledPanel + Lines{"MessageBoxW"} + updateBegins +
           identifiedAgain(identification) + updateEnds + updateOff + reactions.at(shown).second;
}

std::function<void(sim::SimulatedUnit&)> moved(const sim::UnitIdentity& controller)
{
    return [controller](sim::SimulatedUnit& unit) { unit.changeController(controller); };
}

const PathCase paths[] = {
    {"StartAccepted",
     [] {
         std::string unit = attach(0x140FA0FA);
         runWith([] {});
         return startUp + opened(unit) + hint + updateOn + filledPanel + closeWindow(unit);
     }},
    {"StartNoUnit",
     [] {
         runWith([] {});
         return startUp + nothingFound + updateOff + instructedHint + emptyPanel + closeWindow("");
     }},
    {"StartWrongMode",
     [] {
         std::string unit = attach(0x140FA0FA, 1);
         runWith([] {});
         return startUp + opened(unit, identifiedInLoaderMode) + updateOff + closed(unit) + instructedHint + emptyPanel + closeWindow("");
     }},
    {"StartNoController",
     [] {
         std::string unit = attach(0x140FA0FA, 0, 2);
         runWith([] {});
         return startUp + opened(unit, identifiedWithoutController) + updateOff + closed(unit) + instructedHint + emptyPanel + closeWindow("");
     }},
    {"StartRecognisedOnly",
     [] {
         std::string unit = attach(0x0A0640AA);
         runWith([] {});
         return startUp + opened(unit) + filledPanel + closeWindow(unit);
     }},
    {"StartIncompatible",
     [] {
         std::string unit = attach(0x0BADC0DE);
         runWith([] {});
         return startUp + opened(unit) + updateOff + closed(unit) + Lines{"MessageBoxW"} + instructedHint + emptyPanel +
                closeWindow("");
     }},
    {"ArrivalAccepted",
     [] {
         std::string unit;
         runWith([&] {
             win32double::HidInterface& device = win32double::attachUnit();
             unit = narrow(device.path);
             sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(device.path));
         });
         return startUp + nothingFound + updateOff + instructedHint + emptyPanel + opened(unit) + hint + filledPanel +
                updateOn + closeWindow(unit);
     }},
    {"RemovalOfTheHeldUnit",
     [] {
         win32double::HidInterface& device = win32double::attachUnit();
         std::string unit = narrow(device.path);
         runWith([&] {
             win32double::detach(device);
             sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(device.path));
         });
         return startUp + opened(unit) + hint + updateOn + filledPanel + closed(unit) + updateOff + emptyPanel +
                instructedHint + closeWindow("");
     }},
    {"UpdateSucceeds",
     [] {
         std::string unit = attach(0x140FA0FA);
         runWith([] { win32double::pressButton(1002); });
         return startUp + opened(unit) + hint + updateOn + filledPanel + Lines{"MessageBoxW"} + blockTransfer() +
                updateOff + filledPanel + hint + closeWindow(unit);
     }},
    // The removal waits for the update's end, then drops the unit after the success hint.
    {"UpdateSucceedsAndTheUnitIsPulledOutAfterItsLastBlock",
     [] {
         win32double::HidInterface& device = win32double::attachUnit();
         std::string unit = narrow(device.path);
         runWith([&] {
             afterBlock(imageBlocks, [&] {
                 win32double::detach(device);
                 sendChangeFromOutside(DBT_DEVICEREMOVECOMPLETE, device);
             });
             win32double::pressButton(1002);
         });
         Lines closingUnsent = {"WriteFile 60 failed", "WriteFile 60 failed"};
         return startUp + opened(unit) + hint + updateOn + filledPanel + Lines{"MessageBoxW"} +
                blockTransfer(0, {}, closingUnsent) + updateOff + filledPanel + hint + closed(unit) + updateOff +
                emptyPanel + instructedHint + closeWindow("");
     }},
    // Pulled out and another plugged in during the transfer: both changes wait, then act after
    // the failed unit is closed and before the failure box, as they would inside it.
    {"UpdateFailsWhenTheUnitIsSwappedMidTransfer",
     [] {
         win32double::HidInterface& device = win32double::attachUnit();
         std::string unit = narrow(device.path);
         std::string second;
         runWith([&] {
             afterBlock(1, [&] {
                 win32double::detach(device);
                 sendChangeFromOutside(DBT_DEVICEREMOVECOMPLETE, device);
                 win32double::HidInterface& other = win32double::attachUnit();
                 second = narrow(other.path);
                 sendChangeFromOutside(DBT_DEVICEARRIVAL, other);
             });
             win32double::pressButton(1002);
         });
         return startUp + opened(unit) + hint + updateOn + filledPanel + Lines{"MessageBoxW"} +
                blockTransfer(2, {"WriteFile 60 failed"}) + closed(unit) + updateOff + emptyPanel + opened(second) +
                hint + filledPanel + updateOn + Lines{"MessageBoxW"} + hint + closeWindow(second);
     }},
    {"UpdateFailsAtTheSecondBlock",
     [] {
         win32double::HidInterface& device = win32double::attachUnit();
         device.unit->addFault({sim::FaultTrigger::Block, 2, transportFault(sim::FaultKind::ReadFails)});
         std::string unit = narrow(device.path);
         runWith([] { win32double::pressButton(1002); });
         return startUp + opened(unit) + hint + updateOn + filledPanel + Lines{"MessageBoxW"} + blockTransfer(2) +
                closed(unit) + updateOff + emptyPanel + Lines{"MessageBoxW"} + hint + closeWindow("");
     }},
    // Another controller on the lead: each difference in what identification reads stops the
    // update before the lock. Only a held controller's panel shows its versions.
    {"ChangedCellCount", [] { return changedBehindTheUnit(moved({.deviceTypeCode = 0x110FA0FA}), Shown::Ready); }},
    {"ChangedVariant", [] { return changedBehindTheUnit(moved({.deviceTypeCode = 0x140FA0D2}), Shown::Ready); }},
    {"ChangedFirmwareVersion",
     [] { return changedBehindTheUnit(moved({.escFirmwareVersion = 0x0112}), Shown::Ready); }},
    {"ChangedLoaderVersion", [] { return changedBehindTheUnit(moved({.bootloaderVersion = 0x103}), Shown::Ready); }},
    {"ChangedToRecognisedOnly",
     [] { return changedBehindTheUnit(moved({.deviceTypeCode = 0x0A0640AA}), Shown::RecognisedOnly); }},
    {"ChangedToIncompatible",
     [] { return changedBehindTheUnit(moved({.deviceTypeCode = 0x0BADC0DE}), Shown::Incompatible); }},
    {"LeadPulledOffTheController",
     [] { return changedBehindTheUnit(moved({.targetState = 2}), Shown::NoController, identifiedWithoutController); }},
    {"UnitNowInItsLoader",
     [] {
         auto toLoader = [](sim::SimulatedUnit& unit) {
             unit.addFault({sim::FaultTrigger::Command, 0x08, statusByte(1)});
         };
         return changedBehindTheUnit(toLoader, Shown::WrongMode, identifiedInLoaderMode);
     }},
};

}

class MainPaths : public AppTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(MainPaths, FollowTheirOrderAsOneSequence)
{
    Lines expected = GetParam().run();
    EXPECT_EQ(expected, win32double::journal());
}

INSTANTIATE_TEST_SUITE_P(EveryPath, MainPaths, ::testing::ValuesIn(paths),
                         [](const ::testing::TestParamInfo<PathCase>& row) { return std::string(row.param.name); });
