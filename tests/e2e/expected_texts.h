// What the updater should show, from the table of the messages as the user must read them.
#pragma once

#include "message_texts.h"

#include <windows.h>

#include <string>

namespace e2e {

constexpr WORD english = expected::englishTable;
constexpr WORD german = expected::germanTable;

// The table the updater reads for this user: German for any German interface language.
WORD userLanguage();

inline std::wstring message(unsigned id, WORD language = userLanguage())
{
    return expected::messageText(id, language);
}

// A hint with the connection instructions: the message, a blank line, message 40001.
inline std::wstring instructedHint(unsigned id, WORD language = userLanguage())
{
    return expected::instructedHintText(id, language);
}

}
