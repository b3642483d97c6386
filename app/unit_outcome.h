// The reactions to a classified unit that dialog start and a device arrival share.
#pragma once

#include <windows.h>

void enableUpdate(BOOL enable);

// The unit cannot be updated: Update off, the unit let go, and a hint with the instructions.
void dropUnit(UINT hintId);

// An incompatible controller: Update off, the unit let go, then the box, then the hint unless a
// unit that arrived while the box was up is held by then.
void rejectIncompatible();
