// Every sentence the user sees is fetched here, by message ID, when it is shown.
#pragma once

#include "app_state.h"

// German for every German user interface language (de-DE, de-AT, de-CH, ...), English for all
// others. Chosen here because the platform loader matches German exactly and would give Austrian
// and Swiss users the English table.
LANGID userInterfaceLanguage();

// Loads the message in the user interface language; returns its length in characters.
// The text is cut to fit the buffer, which always ends terminated.
int loadMessage(UINT messageId, WCHAR (&buffer)[messageBufferSize]);
