// The hint box: composed in two steps, never accumulating.
#include "app_fixture.h"

#include "hint_box.h"

TEST_F(AppTest, HintsReplaceEachOtherAndNeverAccumulate)
{
    runUpdater([] {
        showHint(40020);
        EXPECT_EQ(instructedHint(40020), win32double::controlText(40004));
        showHint(40015);
        EXPECT_EQ(instructedHint(40015), win32double::controlText(40004));
        setHint(40032);
        EXPECT_EQ(message(40032), win32double::controlText(40004));
        showHint(40016);
        EXPECT_EQ(instructedHint(40016), win32double::controlText(40004));
        EXPECT_EQ(0u, win32double::openCounts().heapBlocks) << "the composition buffer is freed";
    });
    const std::wstring hint = win32double::controlText(40004);
    EXPECT_EQ(L"firmware.", hint.substr(hint.size() - 9)) << "ends with the instructions' last sentence";
}

TEST_F(AppTest, HintWithoutRoomForTheInstructionsKeepsTheStatusMessage)
{
    runUpdater([] {
        win32double::failHeapAllocation(1);
        showHint(40020);
        EXPECT_EQ(message(40020) + L"\r\n\r\n", win32double::controlText(40004));
    });
}
