// The fixed waits of the update. The unit and the controller's loader rely on each lasting at
// least this long; none should last much longer.
#pragma once

#include <windows.h>

constexpr DWORD lockSettleMs = 20;          // after engaging the lock
constexpr DWORD unprotectSettleMs = 20;     // after lifting write protection
constexpr DWORD eraseSettleMs = 4000;       // after the erase answered (which itself waited 1000 ms)
constexpr DWORD addressLeadMs = 20;         // before setting the write address
constexpr DWORD addressSettleMs = 20;       // after it
constexpr DWORD blockSettleMs = 20;         // after every block

// Waits at least ms milliseconds by the monotonic clock, a Sleep that returns early made up by
// another. Meanwhile the window keeps answering: what Windows and other programs send to it is
// handled and the windows repaint, in slices of a few tens of milliseconds; no input and no
// posted message is dispatched, so nothing the user does acts in the middle of the update.
void pace(DWORD ms);

// With Windows' default 15.6 ms timer tick a 20 ms Sleep lasts one or two ticks; for the
// length of an update the timer runs at 1 ms.
void beginPrecisePacing();
void endPrecisePacing();
