// The banner beside the version panel and the red row.
#include "app_fixture.h"

TEST_F(AppTest, BannerIsScaledBesideTheGroupBoxAndKeyedOnPureGreen)
{
    struct Case {
        const char* name;
        RECT window;
        int x, y, width, height;
    };
    const Case cases[] = {
        // free width 900 - 400 - 45 = 455 < 886: 455 x (455 / 1772 * 263 = 67.5, truncated)
        {"narrow window", {100, 100, 900, 600}, 400 - (100 + 3) + 20, 140 - (100 + 19), 455, 67},
        // half the bitmap at most: 886 x 131.5
        {"wide window", {0, 0, 2000, 800}, 400 - 3 + 20, 140 - 19, 886, 131},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        runUpdater([&] {
            HWND dialog = win32double::lastDialog()->handle;
            win32double::setWindowRect(dialog, c.window);
            win32double::setWindowRect(win32double::control(40007)->handle, {120, 140, 400, 260});
            win32double::sendToDialog(WM_PAINT, 0, 0);
        });
        const auto& calls = win32double::bltCalls();
        ASSERT_EQ(2u, calls.size());
        EXPECT_EQ("StretchBlt", calls[0].function);
        EXPECT_EQ(1772, calls[0].sourceWidth);
        EXPECT_EQ(263, calls[0].sourceHeight);
        EXPECT_EQ(3, calls[0].stretchMode) << "COLORONCOLOR: no blended colours";
        EXPECT_EQ((std::vector<int>{0, 0, c.width, c.height}),
                  (std::vector<int>{calls[0].x, calls[0].y, calls[0].width, calls[0].height}));
        EXPECT_EQ("TransparentBlt", calls[1].function);
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.width, c.height}),
                  (std::vector<int>{calls[1].x, calls[1].y, calls[1].width, calls[1].height}));
        EXPECT_EQ((std::vector<int>{0, 0, c.width, c.height}),
                  (std::vector<int>{calls[1].sourceX, calls[1].sourceY, calls[1].sourceWidth, calls[1].sourceHeight}));
        EXPECT_EQ(0x0000FF00u, calls[1].transparent);
        TearDown();
    }
}

TEST_F(AppTest, ABannerThatCannotBeReadIsNotDrawnAndIsReleased)
{
    runUpdater([] {
        win32double::failBitmapInfo();
        win32double::sendToDialog(WM_PAINT, 0, 0);
        EXPECT_TRUE(win32double::bltCalls().empty());
        EXPECT_EQ(0u, win32double::openCounts().gdiObjects);
    });
}

TEST_F(AppTest, RepeatedPaintsLeaveNoDrawingObjectsBehind)
{
    runUpdater([] {
        for (int i = 0; i < 3; ++i)
            win32double::sendToDialog(WM_PAINT, 0, 0);
        EXPECT_EQ(0u, win32double::openCounts().gdiObjects);
        EXPECT_EQ(6u, win32double::bltCalls().size());
    });
}

TEST_F(AppTest, OnlyTheControllerRowIsRedOnTheDialogBackground)
{
    runUpdater([] {
        HDC dc = CreateCompatibleDC(nullptr);
        INT_PTR brushes[2] = {};
        int i = 0;
        for (int id : {40011, 40015}) {
            brushes[i++] = win32double::sendToDialog(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(win32double::control(id)->handle));
            EXPECT_EQ(0x000000FFu, win32double::deviceContextState(dc).textColor) << id;
            EXPECT_EQ(1, win32double::deviceContextState(dc).backgroundMode) << id;
        }
        EXPECT_EQ(0x00F0F0F0u, win32double::brushColor(reinterpret_cast<HBRUSH>(brushes[0])))
            << "the background is the dialog's own button face";
        EXPECT_EQ(brushes[0], brushes[1]) << "one brush for the dialog's lifetime";
        HDC other = CreateCompatibleDC(nullptr);
        for (int id : {40010, 40013, 1005, 40004})
            EXPECT_EQ(0, win32double::sendToDialog(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(other),
                                                   reinterpret_cast<LPARAM>(win32double::control(id)->handle)));
        EXPECT_EQ(0u, win32double::deviceContextState(other).textColor);
        DeleteDC(dc);
        DeleteDC(other);
        EXPECT_EQ(1u, win32double::openCounts().gdiObjects) << "the label brush, until Close";
    });
}
