// Failed updates: each step's failure text and code line, the unit closed before the box, the
// retry hint after it, and nothing sent that was not asked for.
#include "update_fixture.h"

#include "update_procedure.h"

namespace {

std::wstring codeLine(const wchar_t* code, const wchar_t* lastError)
{
    return std::wstring(L"The system shows following errorcode: 0x") + code + L"-0x" + lastError;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

}

TEST_F(AppTest, EachFailingStepShowsItsTextAndCodeAndLeavesTheRetryHint)
{
    struct Case {
        const char* name;
        sim::FaultRule fault;
        unsigned text;
        std::wstring line;                  // empty: no code line
        std::size_t requestsMade;           // after start-up, the three of identifying again and the failed one included
    };
    const Case cases[] = {
        {"lock not confirmed", onCommand(0x0B, statusByte(0x00)), 40026, codeLine(L"0000065b", L"00000000"), 4},
        {"unprotect refused", onCommand(0x20, errorReply(7)), 40027, codeLine(L"00000007", L"00000000"), 5},
        {"unprotect not confirmed", onCommand(0x20, statusByte(0x01)), 40027, codeLine(L"0000065b", L"00000000"), 5},
        {"erase refused", onCommand(0x1E, errorReply(5)), 40028, codeLine(L"00000005", L"00000000"), 6},
        {"address not written", onCommand(0x1F, transportFault(sim::FaultKind::WriteFails)), 40008,
         codeLine(L"fffffffe", L"0000001f"), 7},
        {"block reply not read", {sim::FaultTrigger::Block, 3, transportFault(sim::FaultKind::ReadFails)}, 40009,
         codeLine(L"fffffffd", L"0000001f"), 10},
        {"unplugged at block 100", {sim::FaultTrigger::Block, 100, transportFault(sim::FaultKind::Unplug)}, 40009,
         codeLine(L"fffffffe", L"0000048f"), 107},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::HidInterface& device = win32double::attachUnit();
        device.unit->addFault(c.fault);
        runUpdater([] {
            SetLastError(0);
            win32double::pressButton(1002);
        });

        ASSERT_EQ(2u, win32double::messageBoxes().size());
        const auto& box = win32double::messageBoxes()[1];
        EXPECT_EQ(message(c.text) + L"\r\n" + c.line, box.text);
        EXPECT_EQ(message(40002), box.caption);
        EXPECT_EQ(0x10u, box.flags);
        EXPECT_EQ(c.requestsMade, commandsAfterIdentification(*device.unit).size()) << "no restore, no release";

        std::size_t closed = journalIndex("CloseHandle " + narrow(device.path));
        std::size_t shown = 0;
        const auto& journal = win32double::journal();
        for (std::size_t i = 0; i < journal.size(); ++i)
            if (journal[i] == "MessageBoxW")
                shown = i;
        EXPECT_LT(closed, shown) << "the unit is closed before the box";
        EXPECT_EQ("SetWindowTextW 40004", journal[shown + 1]) << "the hint follows the box";
        EXPECT_EQ(message(40030), win32double::controlText(40004));
        EXPECT_FALSE(win32double::controlEnabled(1002));
        EXPECT_EQ(L"0.0.0", win32double::controlText(40015));
        TearDown();
    }
}

TEST_F(AppTest, EraseFailureIsReportedAfterTheFourSecondWait)
{
    win32double::HidInterface& device = win32double::attachUnit();
    device.unit->addFault(onCommand(0x1E, errorReply(5)));
    runUpdater([] { win32double::pressButton(1002); });
    const auto& journal = win32double::journal();
    auto wait = std::find(journal.begin(), journal.end(), "Sleep 4000");
    ASSERT_NE(journal.end(), wait);
    EXPECT_NE(journal.end(), std::find(wait, journal.end(), "MessageBoxW"));
}

TEST_F(AppTest, UnitRemovedWhileTheWarningIsUpFailsAtTheLockWithoutCodeLine)
{
    win32double::HidInterface& device = win32double::attachUnit();
    win32double::whileMessageBoxShown([&](const win32double::MessageBoxCall& box) {
        if (box.text == message(40038)) {
            win32double::detach(device);
            sendDeviceChange(DBT_DEVICEREMOVECOMPLETE, broadcast(device.path));
        }
    });
    runUpdater([] { win32double::pressButton(1002); });
    ASSERT_EQ(2u, win32double::messageBoxes().size());
    EXPECT_EQ(message(40026), win32double::messageBoxes()[1].text) << "the text alone, for code -1";
    EXPECT_TRUE(commandsAfterIdentification(*device.unit).empty());
    EXPECT_EQ(message(40030), win32double::controlText(40004));
}

TEST_F(AppTest, MissingImageSendsNothingAndAsksForARetry)
{
    win32double::HidInterface& device = win32double::attachUnit();
    runUpdater([] {
        UpdateTarget = {17, 220, 250, 0x0112};      // image 150: named by the catalogue, never stored
        win32double::pressButton(1002);
    });
    EXPECT_TRUE(commandsAfterIdentification(*device.unit).empty());
    ASSERT_EQ(2u, win32double::messageBoxes().size());
    EXPECT_EQ(message(40030) + L"\r\n" + codeLine(L"00000716", L"00000716"), win32double::messageBoxes()[1].text);
    EXPECT_EQ(0u, win32double::openCounts().fileHandles) << "the unit is let go";
}

TEST_F(AppTest, UpdateWithoutAUnitShowsTheTextAlone)
{
    runUpdater([] { runUpdate(); });
    ASSERT_EQ(1u, win32double::messageBoxes().size());
    EXPECT_EQ(message(40022), win32double::messageBoxes()[0].text);
    EXPECT_EQ(message(40030), win32double::controlText(40004));
}
