// The compiled string tables: which messages exist, in which languages, and what survived windres.
#include "resource_reading.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::set<unsigned> messageIds = {40000, 40001, 40002, 40008, 40009, 40011, 40012, 40015, 40016, 40017,
                                       40020, 40022, 40023, 40025, 40026, 40027, 40028, 40029, 40030, 40032,
                                       40033, 40034, 40035, 40036, 40037, 40038, 40039, 40040, 40041};

std::size_t count(const std::wstring& text, const std::wstring& part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++found;
    return found;
}

}

TEST(StringTables, HoldExactlyTheTwentyNineMessagesInEnglishAndGerman)
{
    for (WORD language : {english, german}) {
        SCOPED_TRACE(language);
        std::set<unsigned> ids;
        for (const auto& [id, text] : messages(language))
            ids.insert(id);
        EXPECT_EQ(messageIds, ids);
    }
    for (const auto& resource : win32double::resources())
        if (resource.typeId == 6) {
            EXPECT_TRUE(resource.language == english || resource.language == german) << resource.language;
        }
}

TEST(StringTables, EveryTextFitsTheTwoThousandCharacterBuffer)
{
    for (WORD language : {english, german})
        for (const auto& [id, text] : messages(language))
            EXPECT_LT(text.size(), 2048u) << id;
    EXPECT_EQ(781u, messages(german)[40001].size());    // the longest text
}

TEST(StringTables, OnlyTheTwoFormatsCarryPercentSigns)
{
    for (WORD language : {english, german}) {
        SCOPED_TRACE(language);
        auto texts = messages(language);
        EXPECT_EQ(1u, count(texts[40034], L"%s"));
        EXPECT_EQ(1u, count(texts[40034], L"%"));
        EXPECT_EQ(2u, count(texts[40036], L"0x%08x"));
        EXPECT_EQ(2u, count(texts[40036], L"%"));
        for (const auto& [id, text] : texts)
            if (id != 40034 && id != 40036) {
                EXPECT_EQ(0u, count(text, L"%")) << id;     // a percent sign here would reach the user as is
            }
    }
}

TEST(StringTables, GermanCharactersArriveAsTheirCodePoints)
{
    auto texts = messages(german);
    const std::wstring instructions = texts[40001];
    for (const wchar_t* word : {L"Empf\u00e4nger", L"ben\u00f6tigt", L"anschlie\u00dfend", L"Windows\u2122PC",
                                L"\u00fcber", L"bet\u00e4tigen"})
        EXPECT_NE(std::wstring::npos, instructions.find(word)) << "missing: " << word;
    EXPECT_NE(std::wstring::npos, texts[40034].find(L"l\u00e4\u00dft sich"));
    EXPECT_NE(std::wstring::npos, texts[40035].find(L"Schlie\u00dfen"));
    for (const auto& [id, text] : messages(english))
        for (wchar_t c : text)
            EXPECT_LT(static_cast<unsigned>(c), 0x80u) << id;     // the English texts are plain ASCII
}

TEST(StringTables, LineBreaksAreCarriageReturnLineFeedPairs)
{
    for (WORD language : {english, german})
        for (const auto& [id, text] : messages(language))
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == L'\n') {
                    EXPECT_TRUE(i > 0 && text[i - 1] == L'\r') << id;
                }
                if (text[i] == L'\r') {
                    EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == L'\n') << id;
                }
            }
    EXPECT_EQ(0u, messages(english)[40001].find(L"1.)\r\nDisconnect"));
}

TEST(StringTables, TheMakersWebAddressStandsInBothIncompatibilityTexts)
{
    EXPECT_NE(std::wstring::npos, messages(english)[40034].find(L"website (www.brelvant.example) to see"));
    EXPECT_NE(std::wstring::npos, messages(german)[40034].find(L"unter www.brelvant.example nach,"));
}

TEST(StringTables, LoaderFindsAStringBlockByExplicitLanguageOnly)
{
    HINSTANCE module = win32double::moduleInstance();
    LPCWSTR firstBlock = MAKEINTRESOURCEW(40000 / 16 + 1);
    struct Case {
        WORD language;
        const wchar_t* start;           // of message 40000, the block's first string
    };
    for (const Case& c : {Case{german, L"Programmiereinheit mit"}, Case{english, L"A programming unit"}}) {
        HRSRC found = FindResourceExW(module, RT_STRING, firstBlock, c.language);
        ASSERT_NE(nullptr, found);
        const auto* block = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
        std::wstring text(block + 1, block + 1 + block[0]);
        EXPECT_EQ(0u, text.find(c.start)) << c.language;
    }
    // Austrian German is not German to an exact lookup; the product maps it itself.
    EXPECT_EQ(nullptr, FindResourceExW(module, RT_STRING, firstBlock, 0x0C07));
}
