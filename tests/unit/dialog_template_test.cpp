// The compiled main window template, byte by byte: what windres might have added or changed.
#include "resource_reading.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Control {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t id = 0;
    std::uint16_t classAtom = 0;        // 0: the class was written as a name
    std::wstring text;
};

struct Template {
    std::uint16_t version = 0, signature = 0;
    std::uint32_t helpId = 0, exStyle = 0, style = 0;
    std::uint16_t count = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint16_t menu = 0xFFFF, windowClass = 0xFFFF;
    std::wstring caption;
    std::uint16_t pointSize = 0, weight = 0;
    std::uint8_t italic = 0xFF, charset = 0;
    std::wstring font;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::uint16_t word() { return static_cast<std::uint16_t>(le16(bytes_, advance(2))); }
    std::uint32_t dword() { return le32(bytes_, advance(4)); }
    std::uint8_t byte() { return bytes_[advance(1)]; }
    std::int16_t coordinate() { return static_cast<std::int16_t>(word()); }
    std::wstring string()
    {
        std::wstring text;
        for (std::uint16_t c = word(); c != 0; c = word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    void align() { at_ = (at_ + 3) & ~std::size_t{3}; }
    bool done() const { return at_ >= bytes_.size(); }

private:
    std::size_t advance(std::size_t n)
    {
        std::size_t start = at_;
        at_ += n;
        if (at_ > bytes_.size())
            throw std::out_of_range("template ends early");
        return start;
    }
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
};

Template parse(const std::vector<std::uint8_t>& bytes)
{
    Reader in(bytes);
    Template t;
    t.version = in.word();
    t.signature = in.word();
    t.helpId = in.dword();
    t.exStyle = in.dword();
    t.style = in.dword();
    t.count = in.word();
    t.x = in.coordinate(), t.y = in.coordinate(), t.cx = in.coordinate(), t.cy = in.coordinate();
    t.menu = in.word();                 // 0: no menu
    t.windowClass = in.word();          // 0: the standard dialog class
    t.caption = in.string();
    t.pointSize = in.word();
    t.weight = in.word();
    t.italic = in.byte();
    t.charset = in.byte();
    t.font = in.string();
    for (int i = 0; i < t.count; ++i) {
        in.align();
        Control c;
        c.helpId = in.dword();
        c.exStyle = in.dword();
        c.style = in.dword();
        c.x = in.coordinate(), c.y = in.coordinate(), c.cx = in.coordinate(), c.cy = in.coordinate();
        c.id = in.dword();
        if (in.word() == 0xFFFF)
            c.classAtom = in.word();
        else
            ADD_FAILURE() << "control " << c.id << ": class written as a name";
        c.text = in.string();           // no control has an ordinal title
        EXPECT_EQ(0, in.word()) << "control " << c.id << " carries creation data";
        t.controls.push_back(c);
    }
    in.align();
    EXPECT_TRUE(in.done()) << "bytes after the last control";
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

const ExpectedControl expectedControls[] = {
    {2, 0x0080, L"Close", L"Beenden", 0x50030001, 0, 157, 199, 50, 14},
    {1002, 0x0080, L"Update", L"Update", 0x58010000, 0, 61, 199, 50, 14},
    {40010, 0x0082, L"Firmware 1:", L"Firmware 1:", 0x50020000, 0, 22, 24, 60, 8},
    {1005, 0x0082, L"Firmware 2:", L"Firmware 2:", 0x50020000, 0, 22, 37, 60, 8},
    {40013, 0x0082, L"0.00.00", L"0.00.00", 0x50020000, 0x1000, 90, 24, 50, 8},
    {40014, 0x0082, L"0.00.00", L"0.00.00", 0x50020000, 0x1000, 90, 37, 50, 8},
    {40004, 0x0081, L"", L"", 0x50A00844, 0, 15, 89, 271, 101},
    {0xFFFFFFFF, 0x0082, L"Hint:", L"Hinweisfenster:", 0x50020000, 0, 15, 79, 49, 8},
    {40007, 0x0080, L"Installed firmware version", L"Installierte Firmware Versionen", 0x50020007, 0, 15, 10, 135, 57},
    {40011, 0x0082, L"Firmware 3:", L"Firmware 3:", 0x50020000, 0, 22, 50, 60, 8},
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
        Template t = parse(resource->data);
        EXPECT_EQ(1, t.version);
        EXPECT_EQ(0xFFFF, t.signature);
        EXPECT_EQ(0u, t.helpId);
        EXPECT_EQ(0u, t.exStyle);
        EXPECT_EQ(0x80C808C8u, t.style);
        EXPECT_EQ(11, t.count);
        EXPECT_EQ((std::vector<int>{0, 0, 300, 228}), (std::vector<int>{t.x, t.y, t.cx, t.cy}));
        EXPECT_EQ(0, t.menu);
        EXPECT_EQ(0, t.windowClass);
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
        Template t = parse(resource->data);
        ASSERT_EQ(std::size(expectedControls), t.controls.size());
        for (std::size_t i = 0; i < t.controls.size(); ++i) {
            const Control& got = t.controls[i];
            const ExpectedControl& want = expectedControls[i];
            SCOPED_TRACE("control " + std::to_string(want.id));
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.classAtom, got.classAtom);
            EXPECT_EQ(language == english ? want.english : want.german, got.text);
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
