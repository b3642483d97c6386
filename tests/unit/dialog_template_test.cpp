// The compiled main window template, byte by byte: what windres might have added or changed.
#include "resource_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using win32double::DialogTemplate;

// The compiled template as the dialog manager reads it; no byte may be left over.
DialogTemplate parse(const std::vector<std::uint8_t>& bytes)
{
    DialogTemplate t = win32double::parseDialogTemplate(bytes.data(), bytes.size());
    EXPECT_GE(t.size, bytes.size()) << "bytes after the last control";
    EXPECT_LT(t.size - bytes.size(), 4u) << "bytes after the last control";
    for (const auto& item : t.items) {
        EXPECT_TRUE(item.windowClass.name.empty()) << "control " << item.id << ": class written as a name";
        EXPECT_EQ(0, item.creationDataSize) << "control " << item.id << " carries creation data";
    }
    return t;
}

struct ExpectedControl {
    std::uint32_t id;
    std::uint16_t classAtom;
    const wchar_t* english;
    const wchar_t* german;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;
};

// The three row names are 65 units wide, not 60: at 60, "Regler-Bootloader" and "programming
// unit" wrap and lose their second line; at 65 every row name of both languages and both unit
// models takes one line and still ends short of the values at 90.
const ExpectedControl expectedControls[] = {
    {2, 0x0080, L"Close", L"Beenden", 0x50030001, 0, 157, 199, 50, 14},
    {1002, 0x0080, L"Update", L"Update", 0x58010000, 0, 61, 199, 50, 14},
    {40010, 0x0082, L"Firmware 1:", L"Firmware 1:", 0x50020000, 0, 22, 24, 65, 8},
    {1005, 0x0082, L"Firmware 2:", L"Firmware 2:", 0x50020000, 0, 22, 37, 65, 8},
    {40013, 0x0082, L"0.00.00", L"0.00.00", 0x50020000, 0x1000, 90, 24, 50, 8},
    {40014, 0x0082, L"0.00.00", L"0.00.00", 0x50020000, 0x1000, 90, 37, 50, 8},
    {40004, 0x0081, L"", L"", 0x50A00844, 0, 15, 89, 271, 101},
    {0xFFFFFFFF, 0x0082, L"Hint:", L"Hinweisfenster:", 0x50020000, 0, 15, 79, 49, 8},
    {40007, 0x0080, L"Installed firmware version", L"Installierte Firmware Versionen", 0x50020007, 0, 15, 10, 135, 57},
    {40011, 0x0082, L"Firmware 3:", L"Firmware 3:", 0x50020000, 0, 22, 50, 65, 8},
    {40015, 0x0082, L"0.00.00", L"0.00.00", 0x50020000, 0x1000, 90, 50, 50, 8},
};

}

TEST(MainDialogTemplate, HeaderIsTheExtendedTemplateWithTheGivenStyleSizeAndFont)
{
    for (auto [language, caption] : {std::pair{english, L"BRELVANT firmware updater"},
                                     std::pair{german, L"BRELVANT Firmware Updater"}}) {
        SCOPED_TRACE(language);
        const auto* resource = compiledResource(5, 110, language);
        ASSERT_NE(nullptr, resource);
        DialogTemplate t = parse(resource->data);
        EXPECT_EQ(1, t.version);
        EXPECT_EQ(0xFFFF, t.signature);
        EXPECT_EQ(0u, t.helpId);
        EXPECT_EQ(0u, t.exStyle);
        EXPECT_EQ(0x80C808C8u, t.style);
        EXPECT_EQ(11u, t.items.size());
        EXPECT_EQ((std::vector<int>{0, 0, 300, 228}), (std::vector<int>{t.x, t.y, t.cx, t.cy}));
        EXPECT_EQ(0, t.menu.ordinal) << "no menu";
        EXPECT_TRUE(t.menu.name.empty());
        EXPECT_EQ(0, t.windowClass.ordinal) << "the standard dialog class";
        EXPECT_TRUE(t.windowClass.name.empty());
        EXPECT_EQ(caption, t.caption);
        EXPECT_EQ(8, t.pointSize);
        EXPECT_EQ(0, t.weight);
        EXPECT_EQ(0, t.italic);
        EXPECT_EQ(1, t.charset);
        EXPECT_EQ(L"MS Shell Dlg", t.font);
    }
}

TEST(MainDialogTemplate, ControlsCarryExactlyTheirIdsClassesStylesAndRectangles)
{
    for (WORD language : {english, german}) {
        SCOPED_TRACE(language);
        const auto* resource = compiledResource(5, 110, language);
        ASSERT_NE(nullptr, resource);
        DialogTemplate t = parse(resource->data);
        ASSERT_EQ(std::size(expectedControls), t.items.size());
        for (std::size_t i = 0; i < t.items.size(); ++i) {
            const win32double::DialogItemTemplate& got = t.items[i];
            const ExpectedControl& want = expectedControls[i];
            SCOPED_TRACE("control " + std::to_string(want.id));
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.classAtom, got.windowClass.ordinal);
            EXPECT_EQ(language == english ? want.english : want.german, got.title.name);
            EXPECT_EQ(want.style, got.style);
            EXPECT_EQ(want.exStyle, got.exStyle);
            EXPECT_EQ(0u, got.helpId);
            EXPECT_EQ((std::vector<int>{want.x, want.y, want.cx, want.cy}),
                      (std::vector<int>{got.x, got.y, got.cx, got.cy}));
        }
    }
}

TEST(MainDialogTemplate, LoaderFindsEachLanguagesTemplateByExplicitLanguage)
{
    HINSTANCE module = win32double::moduleInstance();
    for (WORD language : {english, german}) {
        HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(110), language);
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(compiledResource(5, 110, language)->data.data(), LockResource(LoadResource(module, found)));
    }
}
