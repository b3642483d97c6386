#include "messages.h"

#include <strsafe.h>

namespace {

constexpr UINT stringsPerBlock = 16;

}

LANGID userInterfaceLanguage()
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN)
        return MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    return MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);
}

int loadMessage(UINT messageId, WCHAR (&buffer)[messageBufferSize])
{
    buffer[0] = L'\0';
    // A string block holds sixteen messages, each its length in characters followed by the
    // characters, unterminated; block n holds the IDs 16 * (n - 1) to 16 * n - 1.
    HRSRC found = FindResourceExW(appInstance, RT_STRING, MAKEINTRESOURCEW(messageId / stringsPerBlock + 1),
                                  userInterfaceLanguage());
    if (found == nullptr)
        return 0;
    const auto* block = static_cast<const WCHAR*>(LockResource(LoadResource(appInstance, found)));
    DWORD units = SizeofResource(appInstance, found) / sizeof(WCHAR);
    if (block == nullptr)
        return 0;

    // Each length is one UTF-16 unit, whatever width WCHAR has where this is built.
    DWORD at = 0;
    for (UINT skip = messageId % stringsPerBlock; skip != 0 && at < units; --skip)
        at += 1 + static_cast<WORD>(block[at]);
    if (at >= units)
        return 0;
    DWORD length = static_cast<WORD>(block[at]);
    if (length > units - at - 1)
        length = units - at - 1;
    if (length > messageBufferSize - 1)
        length = messageBufferSize - 1;
    for (DWORD i = 0; i < length; ++i)
        buffer[i] = block[at + 1 + i];
    buffer[length] = L'\0';
    return static_cast<int>(length);
}
