// Every exchange of identification and of the update, each failing in every way a unit can fail:
// what the user is shown, what the unit was sent, and that nothing is left behind.
#include "update_fixture.h"

#include <algorithm>
#include <ostream>

namespace {

// How a unit can fail one exchange. Error replies with a non-zero code are refusals: the unit
// does not carry the command out. One with code 0 counts as success, so that unit did the work.
struct FaultColumn {
    const char* name;
    sim::Fault fault;
    DWORD lastError;                        // what the double's failing transfer leaves behind
};
enum Column { writeFails, readFails, unplugged, errorZero, error16, error32, wrongStatus, noisy, silent, columnCount };
const FaultColumn columns[columnCount] = {
    {"WriteFails", transportFault(sim::FaultKind::WriteFails), ERROR_GEN_FAILURE},
    {"ReadFails", transportFault(sim::FaultKind::ReadFails), ERROR_GEN_FAILURE},
    {"Unplugged", transportFault(sim::FaultKind::Unplug), ERROR_DEVICE_NOT_CONNECTED},
    {"ErrorCode0", flaggedReply(0), 0},
    {"ErrorCode16Bit", errorReply(0x0105), 0},
    {"ErrorCode32Bit", errorReply(0x00010000), 0},  // the low half is zero: a 16-bit code reads 0
    {"WrongStatusByte", statusByte(0), 0},          // the byte itself comes from the row
    {"NoisyReply", {sim::FaultKind::NoisyReply, 0, std::nullopt}, 0},
    {"Silent", transportFault(sim::FaultKind::Silent), ERROR_TIMEOUT},  // the read cancelled at its limit
};

// What the window shows after start-up.
enum class Screen {
    Ready,                                  // hint 40000, Update enabled, the controller's versions
    ReadyWithoutInfo,                       // the same, but the information block was not taken
    NoUnit,                                 // hint 40017 with the instructions
    WrongMode,                              // hint 40015 with the instructions
    NoController,                           // hint 40016 with the instructions
    Incompatible,                           // the incompatibility box, then hint 40035
};

struct IdentificationRow {
    const char* name;
    std::uint32_t exchange;                 // from 1
    bool loaderMode;                        // the unit runs its own loader: ReadMemory is asked
    std::uint8_t wrongStatus;
    Screen screens[columnCount];
};

using enum Screen;
const IdentificationRow identificationRows[] = {
    {"GetStatus", 1, false, 0x01, {NoUnit, NoUnit, NoUnit, NoController, NoController, NoController, WrongMode, Ready, NoUnit}},
    {"ReadMemory", 2, true, 0x00, {NoUnit, NoUnit, NoUnit, WrongMode, WrongMode, WrongMode, WrongMode, WrongMode, NoUnit}},
    {"ReadTargetInfo", 2, false, 0x01,
     {NoUnit, NoUnit, NoUnit, ReadyWithoutInfo, NoUnit, ReadyWithoutInfo, Ready, Ready, NoUnit}},
    {"ReadTargetIdentity", 3, false, 0x01,
     {NoUnit, NoUnit, NoUnit, Incompatible, NoUnit, Incompatible, Ready, Ready, NoUnit}},
};

// The update of the default unit: identification is exchanges 1 to 3, the same three again
// right before the lock, then lock, unprotect, erase, address, 2,048 blocks, restore and release.
constexpr std::uint32_t identifiedAgainExchange = 4;
constexpr std::uint32_t lockExchange = 7;
constexpr std::uint32_t firstBlockExchange = 11;
constexpr std::uint32_t blocks = 2048;
constexpr std::uint32_t releaseExchange = firstBlockExchange + blocks + 1;
constexpr std::uint32_t succeeds = 0;       // a code of 0 never fails an update
constexpr std::uint32_t fromTransfer = 1;   // the transfer's own result: -2 written, -3 read
constexpr std::uint32_t shownAgain = 2;     // the answer reads as another controller: it is shown, not written

struct UpdateRow {
    const char* name;
    std::uint32_t exchange;
    const IdentificationRow* again;         // an exchange of identification: the row it repeats
    unsigned text;                          // the failure text; 0: nothing can fail here
    std::uint8_t wrongStatus;
    std::uint32_t codes[columnCount];       // what the box shows as the code, or succeeds
};

constexpr std::uint32_t t = fromTransfer;
constexpr std::uint32_t shown = shownAgain;
const UpdateRow updateRows[] = {
    // Identified again: an error reply without a code, or one whose low half is zero, carries no
    // block, and GetStatus takes whatever comes back as the status.
    {"AgainGetStatus", identifiedAgainExchange, &identificationRows[0], 40022, 0x01, {t, t, t, shown, shown, shown, shown, succeeds, t}},
    {"AgainReadTargetInfo", identifiedAgainExchange + 1, &identificationRows[2], 40022, 0x01,
     {t, t, t, shown, 0x0105, shown, succeeds, succeeds, t}},
    {"AgainReadTargetIdentity", identifiedAgainExchange + 2, &identificationRows[3], 40022, 0x01,
     {t, t, t, shown, 0x0105, shown, succeeds, succeeds, t}},
    // Only byte 3 confirms the lock: a refusal's byte 3 is 0, but a unit that engaged the lock
    // and flags code 0 still says 1 there.
    {"Lock", lockExchange, nullptr, 40026, 0x00, {t, t, t, succeeds, 1627, 1627, 1627, succeeds, t}},
    {"Unprotect", lockExchange + 1, nullptr, 40027, 0x01, {t, t, t, succeeds, 0x0105, 0x00010000, 1627, succeeds, t}},
    {"Erase", lockExchange + 2, nullptr, 40028, 0x01, {t, t, t, succeeds, 0x0105, 0x00010000, succeeds, succeeds, t}},
    {"Address", lockExchange + 3, nullptr, 40008, 0x01, {t, t, t, succeeds, 0x0105, 0x00010000, succeeds, succeeds, t}},
    {"FirstBlock", firstBlockExchange, nullptr, 40009, 0x01, {t, t, t, succeeds, 0x0105, 0x00010000, succeeds, succeeds, t}},
    {"MiddleBlock", firstBlockExchange + blocks / 2, nullptr, 40009, 0x01,
     {t, t, t, succeeds, 0x0105, 0x00010000, succeeds, succeeds, t}},
    {"LastBlock", firstBlockExchange + blocks - 1, nullptr, 40009, 0x01,
     {t, t, t, succeeds, 0x0105, 0x00010000, succeeds, succeeds, t}},
    // The closing commands report nothing: the firmware is in.
    {"Restore", releaseExchange - 1, nullptr, 0, 0x00, {succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds}},
    {"Release", releaseExchange, nullptr, 0, 0x01, {succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds, succeeds}},
};

template <typename Row>
struct Cell {
    const Row* row;
    Column column;
};

template <typename Row>
std::vector<Cell<Row>> cells(const Row* rows, std::size_t count)
{
    std::vector<Cell<Row>> all;
    for (std::size_t r = 0; r < count; ++r)
        for (int c = 0; c < columnCount; ++c)
            all.push_back({&rows[r], static_cast<Column>(c)});
    return all;
}

template <typename Row>
std::string cellName(const ::testing::TestParamInfo<Cell<Row>>& info)
{
    return std::string(info.param.row->name) + "_" + columns[info.param.column].name;
}

sim::Fault faultOf(Column column, std::uint8_t statusForTheRow)
{
    sim::Fault fault = columns[column].fault;
    if (column == wrongStatus)
        fault.status = statusForTheRow;
    return fault;
}

// GoogleTest prints parameters (found by argument-dependent lookup); a cell is named by its row and column.
template <typename Row>
void PrintTo(const Cell<Row>& cell, std::ostream* os)
{
    *os << cell.row->name << " / " << columns[cell.column].name;
}

// Identification stops at a failed exchange and at a refused information block; a unit in its
// loader is asked for its version, a controller that is not updatable for nothing more.
std::size_t exchangesOf(const IdentificationRow& row, Screen screen)
{
    return screen == NoUnit ? row.exchange : screen == NoController ? 1u : row.loaderMode || screen == WrongMode ? 2u : 3u;
}

std::wstring hex8(std::uint32_t value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08x", value);
    return text;
}

}

class FaultMatrix : public AppTest {
protected:
    static void expectScreen(Screen screen, std::size_t boxesBefore);
};

// What the window shows for a unit identified with the screen's answers; boxesBefore: the boxes
// the test's own steps brought up before.
void FaultMatrix::expectScreen(Screen screen, std::size_t boxesBefore)
{
    bool ready = screen == Ready || screen == ReadyWithoutInfo;
    const std::map<Screen, std::wstring> hints = {
        {Ready, message(40000)},
        {ReadyWithoutInfo, message(40000)},
        {NoUnit, instructedHint(40017)},
        {WrongMode, instructedHint(40015)},
        {NoController, instructedHint(40016)},
        {Incompatible, instructedHint(40035)},
    };
    EXPECT_EQ(hints.at(screen), win32double::controlText(40004));
    EXPECT_EQ(ready, win32double::controlEnabled(1002));
    EXPECT_EQ(ready ? L"1.3" : L"0.0.0", win32double::controlText(40013));
    EXPECT_EQ(ready ? L"1.2" : L"0.0.0", win32double::controlText(40014));
    EXPECT_EQ(screen == Ready ? L"1.16" : screen == ReadyWithoutInfo ? L"0.0" : L"0.0.0",
              win32double::controlText(40015));
    EXPECT_EQ(ready, win32double::controlEnabled(40015));
    ASSERT_EQ(boxesBefore + (screen == Incompatible ? 1u : 0u), win32double::messageBoxes().size());
    if (screen == Incompatible) {
        EXPECT_EQ(0x40u, win32double::messageBoxes()[boxesBefore].flags);
    }
}

class IdentificationFaults : public FaultMatrix, public ::testing::WithParamInterface<Cell<IdentificationRow>> {};
class UpdateFaults : public FaultMatrix, public ::testing::WithParamInterface<Cell<UpdateRow>> {};

TEST_P(IdentificationFaults, StartUpShowsWhatTheUnitAnswered)
{
    const IdentificationRow& row = *GetParam().row;
    Column column = GetParam().column;
    Screen screen = row.screens[column];
    sim::UnitIdentity identity;
    identity.bootMode = row.loaderMode ? 0x01 : 0x00;
    win32double::HidInterface& device = win32double::attachUnit(identity);
    device.unit->addFault({sim::FaultTrigger::Exchange, row.exchange, faultOf(column, row.wrongStatus)});
    std::uint64_t shownAt = 0;
    runUpdater([&] { shownAt = win32double::nowMs(); });
    EXPECT_LE(shownAt, 10000u) << "a unit that does not answer holds the window back one limit at most";

    expectScreen(screen, 0);
    EXPECT_EQ(exchangesOf(row, screen), device.unit->transcript().size());
}

INSTANTIATE_TEST_SUITE_P(EveryExchange, IdentificationFaults,
                         ::testing::ValuesIn(cells(identificationRows, std::size(identificationRows))),
                         cellName<IdentificationRow>);

TEST_P(UpdateFaults, UpdateEndsAsTheUnitAnsweredAndARePlugUpdatesCleanly)
{
    const UpdateRow& row = *GetParam().row;
    Column column = GetParam().column;
    std::uint32_t code = row.codes[column];
    if (code == fromTransfer)
        code = column == readFails || column == silent ? 0xFFFFFFFD : 0xFFFFFFFE;
    std::vector<std::uint8_t> image = storedImage(172);     // 20 cells, variant 250
    win32double::HidInterface& device = win32double::attachUnit();
    device.unit->addFault({sim::FaultTrigger::Exchange, row.exchange, faultOf(column, row.wrongStatus)});

    bool progressGoneAtTheBox = true;
    win32double::whileMessageBoxShown([&](const win32double::MessageBoxCall& box) {
        const win32double::Window* progress = win32double::topLevelWindow(L"msctls_progress32");
        if (box.flags == MB_ICONERROR)
            progressGoneAtTheBox = progress == nullptr || progress->destroyed;
    });
    win32double::HidInterface* again = nullptr;
    runUpdater([&] {
        SetLastError(0);
        win32double::pressButton(1002);
        if (code == succeeds || code == shownAgain)
            return;
        // The failed update let the unit go and says so.
        EXPECT_EQ(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
        EXPECT_EQ(message(40030), win32double::controlText(40004));
        EXPECT_FALSE(win32double::controlEnabled(1002));
        EXPECT_EQ(L"0.0.0", win32double::controlText(40015));
        EXPECT_FALSE(win32double::controlEnabled(40015));
        // The failed unit is pulled out and plugged in again, without the fault.
        win32double::detach(device);
        sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(device.path));
        again = &win32double::attachUnit();
        sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(again->path));
        EXPECT_EQ(message(40000), win32double::controlText(40004));
        EXPECT_TRUE(win32double::pressButton(1002));
    });

    const auto& boxes = win32double::messageBoxes();
    if (code == shownAgain) {
        // Identified as start-up identifies, and nothing sent after it.
        Screen screen = row.again->screens[column];
        EXPECT_EQ(identifiedAgainExchange - 1 + exchangesOf(*row.again, screen), device.unit->transcript().size());
        EXPECT_TRUE(std::all_of(device.unit->flash().begin(), device.unit->flash().end(),
                                [](std::uint8_t byte) { return byte == 0x5A; }))
            << "the controller keeps its old firmware";
        // As start-up shows a unit that answers so; the warning was the one box before.
        expectScreen(screen, 1);
        return;
    }
    const auto& flash = (code == succeeds ? device : *again).unit->flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin())) << "the controller holds the image";
    EXPECT_EQ(message(40032), win32double::controlText(40004));
    if (code == succeeds) {
        EXPECT_EQ(1u, boxes.size()) << "the warning only";
        return;
    }
    ASSERT_EQ(3u, boxes.size()) << "the warning, the failure, the warning of the retry";
    std::wstring line = L"The system shows following errorcode: " + hex8(code) + L"-" + hex8(columns[column].lastError);
    EXPECT_EQ(message(row.text) + L"\r\n" + line, boxes[1].text);
    EXPECT_EQ(message(40002), boxes[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes[1].flags);
    EXPECT_TRUE(progressGoneAtTheBox);
    // Nothing after the failed exchange: no restore, no release.
    EXPECT_EQ(row.exchange, device.unit->transcript().size());
}

INSTANTIATE_TEST_SUITE_P(EveryExchange, UpdateFaults, ::testing::ValuesIn(cells(updateRows, std::size(updateRows))),
                         cellName<UpdateRow>);
