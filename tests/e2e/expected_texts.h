// What the updater should show, read from its own string table as data, as a user's Windows
// would load it: so the scenarios compare whole texts without restating them.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

constexpr WORD english = 0x0009;
constexpr WORD german = 0x0407;

// The table the updater reads for this user: German for any German interface language.
WORD userLanguage();

std::wstring message(unsigned id, WORD language = userLanguage());
// A hint with the connection instructions: the message, a blank line, message 40001.
std::wstring instructedHint(unsigned id, WORD language = userLanguage());

}
