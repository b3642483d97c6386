// The compiled string tables: which messages exist, in which languages, and what survived windres.
#include "message_texts.h"
#include "resource_reading.h"

#include <gtest/gtest.h>

// Equal to the table, text for text: a blank added, a word changed, a line break lost, a German
// letter mangled by windres, a percent sign outside the two formats or a missing ID all fail here.
TEST(StringTables, HoldTheTwentyNineMessagesCharacterForCharacter)
{
    for (WORD language : {english, german}) {
        SCOPED_TRACE(language);
        std::map<unsigned, std::wstring> expectedTexts;
        for (const expected::MessageText& m : expected::messageTexts)
            expectedTexts[m.id] = expected::messageText(m.id, language);
        auto compiled = messages(language);
        EXPECT_EQ(29u, expectedTexts.size());
        for (const auto& [id, text] : expectedTexts)
            EXPECT_EQ(text, compiled[id]) << "message " << id;
        EXPECT_EQ(expectedTexts.size(), compiled.size()) << "the tables carry other IDs as well";
    }
    for (const auto& resource : win32double::resources())
        if (resource.typeId == 6) {
            EXPECT_TRUE(resource.language == english || resource.language == german) << resource.language;
        }
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
