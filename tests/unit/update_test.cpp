// The update procedure: consent, the paced command sequence, the blocks and the progress window.
#include "update_fixture.h"

#include "commands.h"
#include "pacing.h"
#include "update_procedure.h"

#include <numeric>

namespace {

std::vector<LONG> rectOf(HWND window)
{
    RECT r = win32double::findWindow(window)->rect;
    return {r.left, r.top, r.right, r.bottom};
}

std::vector<DWORD> updateWaits(std::size_t blocks)
{
    // The wait after the erase and the one before the address follow each other: one of 4,020 ms.
    std::vector<DWORD> waits = {20, 20, 1000, 4020, 20};
    waits.insert(waits.end(), blocks, 20);
    return waits;
}

}

TEST_F(AppTest, SuccessfulUpdateWritesTheImageWithTheWholePacedSequence)
{
    win32double::HidInterface& device = win32double::attachUnit();   // 20 cells, variant 250: image 172
    std::size_t sleepsBefore = 0;
    std::uint64_t clockBefore = 0;
    runUpdater([&] {
        win32double::setForegroundWindow(win32double::lastDialog()->handle);
        sleepsBefore = win32double::sleeps().size();
        clockBefore = win32double::nowMs();
        EXPECT_TRUE(win32double::pressButton(1002));
    });

    // Identified again before the lock: GetStatus, ReadTargetInfo, ReadTargetIdentity.
    std::vector<std::uint8_t> expected = {0x08, 0x1D, 0x22, 0x0B, 0x20, 0x1E, 0x1F};
    expected.insert(expected.end(), 2048, 0x1B);
    expected.insert(expected.end(), {0x20, 0x0B});
    EXPECT_EQ(expected, commandsAfterIdentification(*device.unit));
    std::vector<DWORD> waits(win32double::sleeps().begin() + static_cast<long>(sleepsBefore), win32double::sleeps().end());
    EXPECT_EQ(updateWaits(2048), waits);
    EXPECT_EQ(46040u, win32double::nowMs() - clockBefore);

    std::vector<std::uint8_t> image = storedImage(172);
    ASSERT_EQ(98304u, image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), device.unit->flash().begin())) << "the controller holds the image";
    EXPECT_FALSE(device.unit->locked());
    EXPECT_TRUE(device.unit->writeProtected());

    EXPECT_EQ(message(40032), win32double::controlText(40004));
    EXPECT_FALSE(win32double::controlEnabled(1002));
    EXPECT_EQ(L"1.18", win32double::controlText(40015));
    ASSERT_EQ(1u, win32double::messageBoxes().size()) << "the warning only: 1.16 is older than 1.18";
    EXPECT_EQ(message(40038), win32double::messageBoxes()[0].text);
    EXPECT_EQ(0x31u, win32double::messageBoxes()[0].flags);
}

TEST_F(AppTest, ProgressWindowIsCentredRaisedOnceAndCountsInWholePercent)
{
    win32double::attachUnit();
    runUpdater([] {
        HWND dialog = win32double::lastDialog()->handle;
        win32double::setWindowRect(dialog, {101, 50, 602, 451});
        win32double::setForegroundWindow(dialog);
        win32double::pressButton(1002);
    });
    const win32double::Window* progress = win32double::topLevelWindow(L"msctls_progress32");
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ(message(40029), progress->text);
    EXPECT_EQ(0x10000001u, progress->style);
    EXPECT_EQ(win32double::lastDialog()->handle, progress->owner);
    // Centre (101 + 250, 50 + 200), 400 x 50.
    EXPECT_EQ((std::vector<LONG>{151, 225, 551, 275}),
              (std::vector<LONG>{progress->rect.left, progress->rect.top, progress->rect.right, progress->rect.bottom}));
    ASSERT_EQ(2049u, progress->progressPositions.size());
    EXPECT_EQ(0u, progress->progressPositions[0]);
    EXPECT_EQ(0u, progress->progressPositions[1]) << "4,800 of 98,304 bytes is 4.9 %, rounded down";
    EXPECT_EQ(1u, progress->progressPositions[21]) << "21 blocks are 1,008 bytes";
    EXPECT_EQ(100u, progress->progressPositions.back());
    EXPECT_TRUE(progress->destroyed);

    EXPECT_EQ((std::vector<LONG>{101, 50, 602, 451}), rectOf(win32double::lastDialog()->handle)) << "never moved";
}

// Another program is in front when Update is pressed; the user brings one of the two windows to
// the front after some block. Both are raised and shown once, after the first block that ends
// with one of them in front, and stay where they are.
TEST_F(AppTest, WindowsAreRaisedOnceWhenOneOfThemComesToTheFront)
{
    struct Case {
        const char* name;
        bool progressInFront;               // else the main window
        std::size_t inFrontAfterBlock;      // 0: never
        std::size_t raisedAfterBlock;       // 0: never raised but at creation
    };
    const Case cases[] = {
        {"the main window after block 10", false, 10, 11},
        {"the progress window after block 5", true, 5, 6},
        {"another program in front throughout", false, 0, 0},
    };
    const HWND otherProgram = reinterpret_cast<HWND>(0x7777);
    constexpr std::size_t waitsBeforeBlocks = 5;        // lock, unprotect, the erase's, 4,020 ms after it, address
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::attachUnit();
        runUpdater([&] {
            HWND dialog = win32double::lastDialog()->handle;
            win32double::setWindowRect(dialog, {101, 50, 602, 451});
            win32double::setForegroundWindow(otherProgram);
            win32double::whileSleeping([&](std::size_t sleeps) {
                if (c.inFrontAfterBlock != 0 && sleeps == waitsBeforeBlocks + c.inFrontAfterBlock) {
                    const auto* progress = win32double::topLevelWindow(L"msctls_progress32");
                    win32double::setForegroundWindow(c.progressInFront ? progress->handle : dialog);
                }
            });
            win32double::pressButton(1002);
            win32double::whileSleeping(nullptr);
        });
        // Which block each raise followed, and what was raised and shown, in order.
        std::size_t blocks = 0;
        std::vector<std::string> raises;
        for (const std::string& line : win32double::journal()) {
            if (line.rfind("WriteFile 0x1b", 0) == 0)
                ++blocks;
            if (line.rfind("SetWindowPos", 0) == 0 || line.rfind("ShowWindow", 0) == 0)
                raises.push_back(std::to_string(blocks) + " " + line);
        }
        std::vector<std::string> expected = {"0 SetWindowPos dialog", "0 SetWindowPos msctls_progress32"};
        if (c.raisedAfterBlock != 0) {
            std::string after = std::to_string(c.raisedAfterBlock) + " ";
            for (const char* line : {"SetWindowPos dialog", "SetWindowPos msctls_progress32", "ShowWindow dialog 5",
                                     "ShowWindow msctls_progress32 5"})
                expected.push_back(after + line);
        }
        EXPECT_EQ(expected, raises);
        EXPECT_EQ((std::vector<LONG>{101, 50, 602, 451}), rectOf(win32double::lastDialog()->handle));
        EXPECT_EQ((std::vector<LONG>{151, 225, 551, 275}), rectOf(win32double::topLevelWindow(L"msctls_progress32")->handle));
        TearDown();
    }
}

TEST_F(AppTest, FinalShortBlockIsPaddedAndAnnouncesItsWholeWords)
{
    win32double::HidInterface& device = win32double::attachUnit(sim::UnitIdentity{});
    runUpdater([] {
        UpdateTarget = {21, 250, 250, 0x0112};      // no row: the default image 122, 62,848 bytes
        win32double::pressButton(1002);
    });
    std::vector<std::uint8_t> image = storedImage(122);
    ASSERT_EQ(62848u, image.size());
    const auto& transcript = device.unit->transcript();
    std::vector<std::uint8_t> commands = commandsAfterIdentification(*device.unit);
    EXPECT_EQ(1310, std::count(commands.begin(), commands.end(), 0x1B)) << "1,309 full blocks and a short one";
    const std::vector<std::uint8_t>& last = transcript[transcript.size() - 3].request;
    EXPECT_EQ(0x1B, last[1]);
    EXPECT_EQ(16, last[2]) << "4 words";
    EXPECT_TRUE(std::equal(image.end() - 16, image.end(), last.begin() + 4));
    EXPECT_TRUE(std::all_of(last.begin() + 20, last.begin() + 52, [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), device.unit->flash().begin()));
    EXPECT_EQ(0xFF, device.unit->flash()[62848]);
}

TEST_F(AppTest, SameOrOlderFirmwareIsUpdatedOnlyAfterYes)
{
    struct Case {
        const char* name;
        std::uint16_t installed;
        std::vector<int> answers;
        std::size_t boxes;
        bool updated;
    };
    const Case cases[] = {
        {"no firmware installed: no question", 0xFFFF, {IDOK}, 1, true},
        {"older: no question", 0x0111, {IDOK}, 1, true},
        {"same: asked, yes", 0x0112, {IDOK, IDYES}, 2, true},
        {"newer: asked, no", 0x0113, {IDOK, IDNO}, 2, false},
        {"warning cancelled", 0x0110, {IDCANCEL}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::UnitIdentity identity;
        identity.escFirmwareVersion = c.installed;
        win32double::HidInterface& device = win32double::attachUnit(identity);
        win32double::answerMessageBoxes(c.answers);
        bool held = false;
        runUpdater([&] {
            win32double::pressButton(1002);
            held = ConnectedUnit.handle != INVALID_HANDLE_VALUE;
        });
        ASSERT_EQ(c.boxes, win32double::messageBoxes().size());
        if (c.boxes == 2) {
            EXPECT_EQ(message(40023), win32double::messageBoxes()[1].text);
            EXPECT_EQ(message(40025), win32double::messageBoxes()[1].caption);
            EXPECT_EQ(0x34u, win32double::messageBoxes()[1].flags);
        }
        EXPECT_TRUE(held);
        EXPECT_EQ(c.updated, !commandsAfterIdentification(*device.unit).empty());
        EXPECT_EQ(c.updated ? message(40032) : message(40000), win32double::controlText(40004));
        EXPECT_EQ(!c.updated, win32double::controlEnabled(1002)) << "a declined update leaves Update enabled";
        TearDown();
    }
}

TEST_F(AppTest, LenientRepliesAndFailingClosingCommandsStillSucceed)
{
    struct Case {
        const char* name;
        std::vector<sim::FaultRule> faults;
        bool unlocked;                      // the release reached the unit
    };
    // Exchanges counted from 1: three of identification, the same three again, four before the
    // blocks, 2,048 blocks.
    constexpr std::uint32_t restore = 2059;
    constexpr std::uint32_t release = 2060;
    const Case cases[] = {
        {"unprotect answered with an error reply of code 0", {onCommand(0x20, flaggedReply(0, 0x01))}, true},
        {"lock answered with the error flag and status 1", {onCommand(0x0B, flaggedReply(9, 0x01))}, true},
        {"restore not written: the release follows", {{sim::FaultTrigger::Exchange, restore, transportFault(sim::FaultKind::WriteFails)}}, true},
        {"restore not answered: the release follows", {{sim::FaultTrigger::Exchange, restore, transportFault(sim::FaultKind::ReadFails)}}, true},
        {"restore refused: the release follows", {{sim::FaultTrigger::Exchange, restore, errorReply(0x0105)}}, true},
        {"restore and release not written", {{sim::FaultTrigger::Exchange, restore, transportFault(sim::FaultKind::WriteFails)},
                                             {sim::FaultTrigger::Exchange, release, transportFault(sim::FaultKind::WriteFails)}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::HidInterface& device = win32double::attachUnit();
        for (const auto& fault : c.faults)
            device.unit->addFault(fault);
        runUpdater([] { win32double::pressButton(1002); });
        EXPECT_EQ(message(40032), win32double::controlText(40004));
        EXPECT_EQ(1u, win32double::messageBoxes().size());
        EXPECT_EQ(2048u, device.unit->blocksWritten());
        EXPECT_EQ(c.unlocked, !device.unit->locked());
        std::vector<std::uint8_t> commands = commandsAfterIdentification(*device.unit);
        ASSERT_EQ(3u + 4u + 2048u + 2u, commands.size()) << "restore and release are both sent";
        EXPECT_EQ(c.unlocked ? 0x0B : 0, commands.back()) << "the release comes last";
        TearDown();
    }
}

// Every wait lasts its length by the clock, even when Windows ends it early, and is one wait; a
// message sent to the window at any moment of it is answered at once, whatever it waits on.
TEST_F(AppTest, WaitsLastTheirLengthAndAnswerAtOnceThroughout)
{
    struct Case {
        const char* name;
        std::function<void()> wait;
        DWORD ms;
        DWORD shortfall;                    // the timer fires this much early, as no timer should
    };
    const Case cases[] = {
        {"a block's wait that ends early", [] { pace(20); }, 20, 8},
        {"the wait after the erase", [] { pace(4000); }, 4000, 0},
        {"the erase's own second, ending early", [] { pace(1000); }, 1000, 3},
        {"a reply that never comes", [] {
             BYTE report[60];
             EXPECT_EQ(-3, GetStatus(report, ConnectedUnit));
         }, 10000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::HidInterface& device = win32double::attachUnit();
        std::vector<std::shared_ptr<const win32double::SentMessage>> sent;
        std::uint64_t waited = 0;
        runUpdater([&] {                    // the main window, to answer
            device.unit->addFault(onCommand(0x08, transportFault(sim::FaultKind::Silent)));
            std::uint64_t start = win32double::nowMs();
            for (std::uint64_t at : {start + 1, start + c.ms / 2, start + c.ms - 1})
                win32double::at(at, [&sent] { sent.push_back(win32double::sendFromOutside(WM_NULL, 0)); });
            win32double::shortenNextSleep(c.shortfall);
            c.wait();
            waited = win32double::nowMs() - start;
        });
        EXPECT_EQ(c.ms, waited);
        EXPECT_EQ(std::vector<DWORD>{c.ms}, win32double::sleeps()) << "one wait, however it was woken";
        ASSERT_EQ(3u, sent.size());
        for (const auto& message : sent) {
            ASSERT_TRUE(message->answered);
            EXPECT_EQ(message->sentAtMs, message->answeredAtMs);
        }
        TearDown();
    }
}

// What the user, other programs and Windows do in the middle of the transfer: nothing of it
// stops the update, starts another, or acts on its result afterwards; the window answers.
TEST_F(AppTest, NothingDoneDuringTheUpdateCutsItShortOrActsAfterIt)
{
    using Sent = std::shared_ptr<const win32double::SentMessage>;
    struct Case {
        const char* name;
        std::function<std::vector<Sent>(HWND dialog)> act;      // in the wait after block 100
        LRESULT answer;                                         // what each message sent was answered
    };
    const Case cases[] = {
        {"a shutdown asks whether the session may end", [](HWND) {
             EXPECT_EQ(0x80000001u, win32double::executionState()) << "the PC is kept awake";
             EXPECT_EQ(message(40029), win32double::shutdownBlockReason());
             return std::vector<Sent>{win32double::sendFromOutside(WM_QUERYENDSESSION, 0)};
         }, FALSE},
        {"another program asks whether the window answers", [](HWND) {
             return std::vector<Sent>{win32double::sendFromOutside(WM_NULL, 0)};
         }, 0},
        {"End task closes the window, Update and Close are sent as commands", [](HWND) {
             return std::vector<Sent>{win32double::sendFromOutside(WM_CLOSE, 0),
                                      win32double::sendFromOutside(WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED)),
                                      win32double::sendFromOutside(WM_COMMAND, MAKEWPARAM(2, BN_CLICKED))};
         }, 0},
        {"clicks on Close and Update, Escape, the close box and the taskbar's Close", [](HWND dialog) {
             for (int id : {2, 1002}) {
                 win32double::post(win32double::control(id)->handle, WM_LBUTTONDOWN);
                 win32double::post(win32double::control(id)->handle, WM_LBUTTONUP);
             }
             win32double::post(dialog, WM_KEYDOWN, VK_ESCAPE);
             win32double::post(dialog, WM_NCLBUTTONDOWN, HTCLOSE);
             win32double::post(dialog, WM_SYSCOMMAND, SC_CLOSE);
             return std::vector<Sent>{};
         }, 0},
        {"a touch on Close, a pen on the title bar", [](HWND dialog) {
             win32double::post(win32double::control(2)->handle, WM_POINTERDOWN);
             win32double::post(dialog, WM_NCPOINTERUP, HTCLOSE);
             return std::vector<Sent>{};
         }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::HidInterface& device = win32double::attachUnit();
        std::vector<Sent> sent;
        bool open = false;
        runUpdater([&] {
            HWND dialog = win32double::lastDialog()->handle;
            std::size_t drawn = 0;
            win32double::whileSleeping([&](std::size_t waits) {
                if (waits == 5 + 100) {
                    EXPECT_FALSE(win32double::controlEnabled(1002) || win32double::controlEnabled(2));
                    EXPECT_TRUE(win32double::findWindow(dialog)->systemCloseGreyed) << "nor the close box";
                    sent = c.act(dialog);
                    win32double::invalidate(dialog);    // uncovered meanwhile
                    drawn = win32double::bltCalls().size();
                }
                if (waits == 5 + 101) {
                    EXPECT_FALSE(win32double::needsPaint(dialog)) << "repainted during the update";
                    EXPECT_GT(win32double::bltCalls().size(), drawn) << "the banner drawn again";
                }
            });
            win32double::pressButton(1002);
            win32double::whileSleeping(nullptr);
            open = !win32double::lastDialog()->ended;
        });
        for (const Sent& message : sent) {
            ASSERT_TRUE(message->answered);
            EXPECT_EQ(c.answer, message->answer);
            EXPECT_EQ(message->sentAtMs, message->answeredAtMs) << "answered at once";
        }
        EXPECT_TRUE(open) << "the window is still open after the update";
        EXPECT_TRUE(win32double::controlEnabled(2) && !win32double::controlEnabled(1002)) << "as the result leaves them";
        EXPECT_FALSE(win32double::lastDialog()->systemCloseGreyed);
        EXPECT_EQ(0u, win32double::queuedMessages()) << "the queued input was thrown away";
        EXPECT_EQ(2048u, device.unit->blocksWritten());
        EXPECT_EQ(message(40032), win32double::controlText(40004));
        EXPECT_EQ(1u, win32double::messageBoxes().size()) << "no second update was started";
        EXPECT_EQ(L"", win32double::shutdownBlockReason());
        TearDown();
    }
}

// For the length of the update only, on each Windows: throttling held off with the flags that
// Windows takes, and the waits' timer at high resolution, or a plain one with the 1 ms tick.
// The opt-out given back and the timer closed before the failure box (TearDown: nothing left).
TEST_F(AppTest, PreciseWaitsAndNoThrottlingForTheLengthOfTheUpdateOnly)
{
    using Lines = std::vector<std::string>;
    struct Case {
        const char* name;
        std::function<void()> windows;
        Lines begins;                       // right before the controller is identified again
        ULONG heldOff;                      // the control mask in force during the transfer
        Lines ends;                         // right after the failing block
    };
    const Case cases[] = {
        {"Windows 11 takes both flags and the high-resolution timer", [] {},
         {"SetProcessInformation 0x5 0x0", "CreateWaitableTimerExW 0x2"}, 0x5, {"SetProcessInformation 0x0 0x0"}},
        {"Windows 10 refuses the timer flag, each is tried on its own", [] { win32double::refuseThrottlingFlag(0x4); },
         {"SetProcessInformation 0x5 0x0 failed", "SetProcessInformation 0x4 0x0 failed",
          "SetProcessInformation 0x1 0x0", "CreateWaitableTimerExW 0x2"}, 0x1, {"SetProcessInformation 0x0 0x0"}},
        {"Windows 7 has neither", [] {
             win32double::withoutProcessInformation();
             win32double::refuseHighResolutionTimer();
         }, {"CreateWaitableTimerExW 0x2 failed", "CreateWaitableTimerExW 0x0", "timeBeginPeriod 1"}, 0x0,
         {"timeEndPeriod 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.windows();
        win32double::HidInterface& device = win32double::attachUnit();
        device.unit->addFault({sim::FaultTrigger::Block, 3, transportFault(sim::FaultKind::ReadFails)});
        ULONG during = 0xFF;
        runUpdater([&] {
            win32double::whileSleeping([&](std::size_t waits) {
                if (waits == 5 + 1)
                    during = win32double::throttlingControl();
            });
            win32double::pressButton(1002);
            win32double::whileSleeping(nullptr);
        });
        EXPECT_EQ(c.heldOff, during);
        const auto& journal = win32double::journal();
        // Identified again, then the progress window and the lock.
        auto progress = std::find(journal.begin(), journal.end(), "CreateWindowExW msctls_progress32");
        auto again = std::find(std::make_reverse_iterator(progress), journal.rend(), "HidD_FlushQueue").base() - 1;
        ASSERT_GE(again - journal.begin(), static_cast<long>(c.begins.size()));
        EXPECT_EQ(c.begins, Lines(again - static_cast<long>(c.begins.size()), again));
        auto failed = std::find(journal.begin(), journal.end(), "ReadFile 60 failed");
        ASSERT_NE(journal.end(), failed);
        auto destroyed = failed + 2;        // the progress window goes first
        ASSERT_GE(journal.end() - destroyed, static_cast<long>(c.ends.size()));
        EXPECT_EQ(c.ends, Lines(destroyed, destroyed + static_cast<long>(c.ends.size())));
        TearDown();
    }
}
