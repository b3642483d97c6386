// The version texts: which bits are shown, when the unit's word is shifted, and the unit model.
#include "app_fixture.h"

#include "version_panel.h"

TEST_F(AppTest, VersionTextsFollowTheShiftAndPaddingRules)
{
    struct Case {
        const char* name;
        std::uint32_t unitFirmware;
        std::uint32_t bootloader;
        std::uint16_t esc;
        const wchar_t* unitText;
        const wchar_t* bootloaderText;
        const wchar_t* escText;
    };
    const Case cases[] = {
        {"unit word with empty low byte is shifted", 0x00011200, 0x00000112, 0x0112, L"1.18", L"1.18", L"1.18"},
        {"unit word with non-zero low byte is not", 0x00011201, 0x00001200, 0x0105, L"18.1", L"18.0", L"1.5"},
        {"leading part from the top byte", 0x02000305, 0x02000305, 0x0A05, L"2.3.5", L"2.3.5", L"10.5"},
        {"bits 16 to 23 are never shown", 0x00FF0102, 0x00FF0102, 0x0000, L"1.2", L"1.2", L"0.0"},
        {"after the shift the top byte is among the hidden bits", 0x05020100, 0x00000000, 0xFFFF, L"2.1", L"0.0",
         L"----------"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::UnitIdentity identity;
        identity.deviceTypeCode = 0x110FA0AA;       // recognised only: shown, and nothing else happens
        identity.unitFirmware = c.unitFirmware;
        identity.bootloaderVersion = c.bootloader;
        identity.escFirmwareVersion = c.esc;
        win32double::attachUnit(identity);
        runUpdater();
        EXPECT_EQ(c.unitText, win32double::controlText(40013));
        EXPECT_EQ(c.bootloaderText, win32double::controlText(40014));
        EXPECT_EQ(c.escText, win32double::controlText(40015));
        TearDown();
    }
}

TEST_F(AppTest, FirstRowNamesTheUnitModelAndKeepsItWhenTheUnitIsGone)
{
    for (auto [productId, model] : {std::pair{1, L"ORBIPAD"}, std::pair{2, L"BENCH-BOX"}}) {
        SCOPED_TRACE(productId);
        SetUp();
        sim::UnitIdentity identity;
        identity.productId = static_cast<std::uint16_t>(productId);
        win32double::attachUnit(identity);
        runUpdater([&] {
            EXPECT_EQ(model, win32double::controlText(40010));
            closeDevice();
            refreshVersionPanel();
            EXPECT_EQ(model, win32double::controlText(40010));     // greyed, still naming the unit
            EXPECT_FALSE(win32double::controlEnabled(40010));
            EXPECT_EQ(L"0.0.0", win32double::controlText(40013));
        });
        TearDown();
    }
}
