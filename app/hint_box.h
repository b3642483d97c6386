// The hint box: the only record of which hint is shown is its own text.
#pragma once

#include <windows.h>

// The status message, a blank line, then the connection instructions.
void showHint(UINT messageId);

// The message alone.
void setHint(UINT messageId);

// Nothing in the box, as at dialog start.
void clearHint();
