#include "expected_texts.h"

#include "updater_process.h"

namespace e2e {

WORD userLanguage()
{
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? german : english;
}

std::wstring message(unsigned id, WORD language)
{
    static HMODULE updater =
        LoadLibraryExW((runFolder() + L"\\zefran-hvi-updater.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC block = FindResourceExW(updater, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (block == nullptr)
        return L"<no message " + std::to_wstring(id) + L">";
    const auto* text = static_cast<const WCHAR*>(LockResource(LoadResource(updater, block)));
    for (unsigned skip = id % 16; skip != 0; --skip)
        text += 1 + *text;
    return std::wstring(text + 1, text + 1 + *text);
}

std::wstring instructedHint(unsigned id, WORD language)
{
    return message(id, language) + L"\r\n\r\n" + message(40001, language);
}

}
