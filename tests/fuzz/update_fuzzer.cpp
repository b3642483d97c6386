// The whole updater against the simulated unit, with the fuzzer's bytes choosing the reports'
// lengths, the controller, the noise, what the user does in each box and up to three faults.
// Most runs update the controller to the end; the rest fail somewhere. Every run checks what
// the user and the unit would notice, judged by the protocol's own terms:
// - success is shown only when the controller holds the image and the unit got the whole order;
// - a failure shows the failing step's text and code, nothing is sent after that exchange, the
//   progress window is gone, the panel is empty and the retry hint follows;
// - a unit gets update commands only when both boxes were answered while it was the one held;
// - the same-or-older question comes exactly for 1.18 or later, not 0xFFFF; the unit refuses nothing
//   it was not made to refuse; with no fault, both boxes agreed and an updatable controller, it updates;
// - nothing is left open.
//
// Input: byte 0 the report lengths, byte 1 the controller and its installed firmware, bytes 2..5
// the noise seed, byte 6 what the user does in the warning and the version box, byte 7 the
// number of fault rules, then four bytes a rule: trigger, match (two bytes), fault and code.
#include "device_broadcast.h"
#include "firmware_images.h"
#include "fresh_updater.h"
#include "message_texts.h"


#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// A property that does not hold is a finding: say which, then end the run as a crash.
void checkAt(bool condition, const char* what, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "update fuzzer: line %d: %s does not hold\n", line, what);
    std::abort();
}
#define check(condition) checkAt((condition), #condition, __LINE__)

struct Controller {
    std::uint32_t typeCode;
    WORD image;                             // 0: not updated by this edition
};
const Controller controllers[] = {{0x140FA0FA, 172}, {0x110FA0FA, 151}, {0x110FA0D2, 157}, {0x140FA0D2, 173},
                                  {0x140FA0AA, 174}, {0x140FA0FA, 172}, {0x110FA0AA, 0},   {0x0BADC0DE, 0}};
const std::uint16_t installed[] = {0x0110, 0x0112, 0xFFFF, 0x0113};
const std::uint8_t commands[] = {0x08, 0x0A, 0x0B, 0x1B, 0x1D, 0x1E, 0x1F, 0x20, 0x22};
const std::uint32_t codes[] = {0, 5, 0x0105, 0x00010000};
enum class BoxAction { Agree, AgreeToo, Decline, PullOut, SwapUnit };

// How the runs ended, printed when the fuzzer exits: most should complete an update.
struct Tally {
    unsigned long runs = 0, updated = 0, failed = 0;
    ~Tally()
    {
        if (runs == 0) {                    // no share to give: say so and fail
            std::fprintf(stderr, "update fuzzer: no input ran the updater, no share of updates\n");
            std::_Exit(1);
        }
        std::fprintf(stderr, "update fuzzer: %lu runs, %lu updated (%lu %%), %lu failed an update\n", runs, updated, 100 * updated / runs, failed);
    }
} tally;

// The result of one update exchange as the protocol defines it; 0 when it succeeded.
int outcome(const sim::TranscriptEntry& e)
{
    if (!e.writeOk)
        return -2;
    if (!e.readOk)
        return -3;
    const auto& r = e.reply;
    auto code = static_cast<int>(r[4] | (r[5] << 8) | (r[6] << 16) | (static_cast<std::uint32_t>(r[7]) << 24));
    bool engaging = e.request[3] == 1;
    switch (e.request[1]) {
    case 0x0B: return engaging && r[3] != 1 ? 1627 : 0;
    case 0x20: return e.request[3] != 0 ? 0 : r[1] == 0xFF ? code : r[3] != 0 ? 1627 : 0;
    default: return r[1] == 0xFF ? code : 0;
    }
}

const std::map<std::uint8_t, unsigned> failureText = {
    {0x0B, 40026}, {0x20, 40027}, {0x1E, 40028}, {0x1F, 40008}, {0x1B, 40009}};

std::wstring failureBox(unsigned text, int code)
{
    wchar_t line[64];
    std::swprintf(line, 64, L"\r\nThe system shows following errorcode: 0x%08x-0x", static_cast<unsigned>(code));
    return expected::messageText(text, expected::englishTable) + (code == -1 ? L"" : line);
}

struct Run {
    win32double::HidInterface* first = nullptr;
    win32double::HidInterface* second = nullptr;
    bool confirmedForFirstOnly = true;      // every confirmation box shown and closed with the first held
};

// True for the two confirmation boxes, in which the user acts.
bool actInBox(Run& run, BoxAction action, const win32double::MessageBoxCall& box)
{
    auto held = [&run] { return ConnectedUnit.handle != INVALID_HANDLE_VALUE && ConnectedUnit.devicePath == run.first->path; };
    bool confirmation = box.caption == expected::messageText(40037, expected::englishTable) ||
                        box.caption == expected::messageText(40025, expected::englishTable);
    if (!confirmation)
        return false;
    bool heldBefore = held();
    if ((action == BoxAction::PullOut || action == BoxAction::SwapUnit) && run.first->present) {
        win32double::detach(*run.first);
        sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(run.first->path));
        if (action == BoxAction::SwapUnit && run.second == nullptr) {
            run.second = &win32double::attachUnit();
            sendDeviceChange(DBT_DEVICEARRIVAL, broadcast(run.second->path));
        }
    }
    run.confirmedForFirstOnly = run.confirmedForFirstOnly && heldBefore && held() && action <= BoxAction::AgreeToo;
    return true;
}

void addFaults(sim::SimulatedUnit& unit, const std::uint8_t* rules, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, rules += 4) {
        auto trigger = static_cast<sim::FaultTrigger>(rules[0] % 3);
        std::uint32_t n = rules[1] | (rules[2] << 8);
        std::uint32_t match = trigger == sim::FaultTrigger::Command ? commands[rules[1] % 9]
                              : trigger == sim::FaultTrigger::Block ? 1 + n % 2048 : 1 + n % 2100;
        sim::Fault fault{static_cast<sim::FaultKind>(rules[3] % 8), codes[(rules[3] >> 3) % 4], std::nullopt};
        if ((rules[3] & 0x20) != 0)
            fault.status = static_cast<std::uint8_t>(rules[3] >> 6);
        // A refusal whose code is 0 is success to the protocol: a unit that answers so has done
        // the work, or no updater could tell.
        if (fault.kind == sim::FaultKind::ErrorReply && fault.code == 0)
            fault.kind = sim::FaultKind::FlaggedReply;
        unit.addFault({trigger, match, fault});
    }
}

// The command the protocol's order puts at this place of an update of so many blocks.
std::uint8_t commandAt(std::size_t i, std::size_t blocks)
{
    const std::uint8_t start[] = {0x0B, 0x20, 0x1E, 0x1F};
    return i < 4 ? start[i] : i < 4 + blocks ? 0x1B : i == 4 + blocks ? 0x20 : 0x0B;
}

// A request the unit refuses on its own, malformed or out of order, is the updater's mistake; out of
// order is excused after an injected error reply (a lock refused with status byte 1 counts as
// engaged, and the unit then refuses to unprotect). True when a fault other than noise was shown.
bool checkRefusals(const sim::SimulatedUnit& unit)
{
    bool errorInjected = false, faulted = false;
    for (const sim::TranscriptEntry& e : unit.transcript()) {
        bool injected = e.note.rfind("fault:", 0) == 0;
        bool outOfOrder = e.note == "not-locked" || e.note == "write-protected" || e.note == "not-erased" || e.note == "no-address";
        check(e.note.empty() || injected || (outOfOrder && errorInjected));
        errorInjected = errorInjected || e.note == "fault:error-reply";
        faulted = faulted || (injected && e.note != "fault:noisy-reply");
    }
    return faulted;
}

// Identification's own requests, which write nothing: the controller is identified again before the lock.
bool identifying(const sim::TranscriptEntry& e)
{
    return e.writeOk && (e.request[1] == 0x08 || e.request[1] == 0x0A || e.request[1] == 0x1D || e.request[1] == 0x22);
}

// A failed exchange of identifying again: the transfer's result, or the 16-bit code of an error reply.
int identifyingOutcome(const sim::TranscriptEntry& e)
{
    if (!e.writeOk || !e.readOk)
        return outcome(e);
    return e.reply[1] == 0xFF ? e.reply[4] | (e.reply[5] << 8) : 0;
}

// What the first unit went through after its identification, and what the window says of it.
void checkUpdate(const Run& run, const Controller& controller, std::size_t identification)
{
    const auto& transcript = run.first->unit->transcript();
    std::size_t sent = transcript.size() - identification;
    check(sent == 0 || run.confirmedForFirstOnly);
    check(run.second == nullptr || run.second->unit->transcript().size() <= 3);
    std::size_t again = 0;
    while (again < sent && again < 3 && identifying(transcript[identification + again]))
        ++again;
    std::wstring hint = win32double::controlText(40004);
    if (hint != expected::messageText(40032, expected::englishTable) &&
        hint != expected::messageText(40030, expected::englishTable)) {
        check(again == sent);               // shown again as answered, or nothing sent: nothing written
        return;
    }
    const win32double::MessageBoxCall& box = win32double::messageBoxes().back();
    if (sent == 0) {                        // the unit was gone when the lock was to go out
        check(hint == expected::messageText(40030, expected::englishTable) && box.text == failureBox(40026, -1));
        return;
    }
    std::wstring notDetected = expected::messageText(40022, expected::englishTable);
    if (box.text.rfind(notDetected, 0) == 0) {      // identifying again failed: nothing after it
        check(sent <= 3 && again + 1 >= sent);
        std::wstring line = failureBox(40022, identifyingOutcome(transcript.back()));
        check(box.text.rfind(line, 0) == 0 && box.text.size() == line.size() + 8);
        return;
    }
    check(again == 3);                      // GetStatus, ReadTargetInfo, ReadTargetIdentity, all the same
    identification += again;
    sent -= again;
    std::vector<std::uint8_t> image = expectedImage(controller.image);
    std::size_t blocks = (image.size() + 47) / 48;
    std::size_t failing = 0;                // the first exchange before the restore that did not succeed
    while (failing < sent && failing < 4 + blocks && outcome(transcript[identification + failing]) == 0)
        ++failing;
    for (std::size_t i = 0; i < sent; ++i) {
        const sim::TranscriptEntry& e = transcript[identification + i];
        check(!e.writeOk || e.request[1] == commandAt(i, blocks));
    }
    if (failing == 4 + blocks) {
        ++tally.updated;
        check(hint == expected::messageText(40032, expected::englishTable));
        check(sent <= 4 + blocks + 2);      // restore and release; a unit pulled out sees neither
        check(std::equal(image.begin(), image.end(), run.first->unit->flash().begin()));
        check(win32double::controlText(40015) == L"1.18" && !win32double::controlEnabled(1002));
        return;
    }
    ++tally.failed;
    check(hint == expected::messageText(40030, expected::englishTable));
    check(failing + 1 == sent);             // nothing after the failing exchange
    std::wstring line = failureBox(failureText.at(commandAt(failing, blocks)), outcome(transcript.back()));
    check(box.caption == expected::messageText(40002, expected::englishTable));
    check(box.text.rfind(line, 0) == 0 && box.text.size() == line.size() + 8);
    const auto* progress = win32double::topLevelWindow(L"msctls_progress32");
    check(progress == nullptr || progress->destroyed);
    check(win32double::controlText(40013) == L"0.0.0" && !win32double::controlEnabled(40013));
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    startFresh();
    ++tally.runs;
    sim::UnitIdentity identity;
    const std::uint16_t inputLengths[] = {60, 60, 60, 60, 60, 44, 43, 60};
    const std::uint16_t outputLengths[] = {60, 60, 60, 60, 60, 52, 60, 51};
    identity.inputReportLength = inputLengths[data[0] % 8];
    identity.outputReportLength = outputLengths[data[0] % 8];
    const Controller& controller = controllers[data[1] % 8];
    identity.deviceTypeCode = controller.typeCode;
    identity.productId = (data[1] & 0x08) != 0 ? 1 : 2;
    identity.escFirmwareVersion = installed[(data[1] >> 4) % 4];
    identity.noiseSeed = data[2] | (data[3] << 8) | (data[4] << 16) | (static_cast<std::uint32_t>(data[5]) << 24);
    Run run;
    run.first = &win32double::attachUnit(identity);
    std::size_t rules = std::min<std::size_t>(data[7] % 4, (size - 8) / 4);
    addFaults(*run.first->unit, data + 8, rules);

    const BoxAction actions[] = {static_cast<BoxAction>(data[6] % 5), static_cast<BoxAction>((data[6] / 5) % 5)};
    std::vector<int> answers;
    for (BoxAction action : actions)
        answers.push_back(action == BoxAction::Decline ? IDCANCEL : IDOK);
    answers[1] = answers[1] == IDOK ? IDYES : IDNO;
    std::size_t box = 0;
    std::size_t identification = 0;
    win32double::answerMessageBoxes(answers);
    win32double::whileMessageBoxShown([&](const win32double::MessageBoxCall& shown) {
        if (box < 2 && actInBox(run, actions[box], shown))
            ++box;
    });
    win32double::whileDialogRuns([&](HWND dialog) {
        win32double::setForegroundWindow(dialog);
        identification = run.first->unit->transcript().size();
        win32double::pressButton(1002);     // only when Update is offered
        win32double::pressButton(2);
    });
    check(wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1) == 0);
    unsigned long updatedBefore = tally.updated;
    checkUpdate(run, controller, identification);
    // The question follows a warning agreed to with the first unit still held (one pulled out
    // leaves no version, another in its place ends the update), for 1.18 on but not 0xFFFF (none).
    std::size_t warnings = 0, questions = 0;
    for (const win32double::MessageBoxCall& shown : win32double::messageBoxes()) {
        warnings += shown.caption == expected::messageText(40037, expected::englishTable);
        questions += shown.caption == expected::messageText(40025, expected::englishTable);
    }
    // The version the unit reported: ReadTargetInfo reply bytes 8..9, none under the error flag.
    const auto& info = run.first->unit->transcript().size() > 1 ? run.first->unit->transcript()[1].reply : std::vector<std::uint8_t>();
    unsigned version = info.size() > 9 && info[1] != 0xFF ? info[8] | info[9] << 8 : 0;
    bool atOrAbove = version >= 0x0112 && version != 0xFFFF;
    check(questions == (warnings == 1 && actions[0] <= BoxAction::AgreeToo && atOrAbove ? 1u : 0u));
    bool faulted = checkRefusals(*run.first->unit);
    check(run.second == nullptr || !checkRefusals(*run.second->unit));
    bool usable = identity.outputReportLength >= 52 && identity.inputReportLength >= 44;   // a block request, the identity reply
    bool agreed = actions[0] <= BoxAction::AgreeToo && (!atOrAbove || actions[1] <= BoxAction::AgreeToo);
    check(tally.updated > updatedBefore || faulted || !agreed || !usable || controller.image == 0);
    check(!win32double::dialogLeftRunning());
    check(win32double::openCounts() == win32double::OpenCounts{});
    return 0;
}
