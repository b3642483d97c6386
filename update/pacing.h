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

// Waits at least ms milliseconds by the monotonic clock, the window answering meanwhile
// (link/thread_wait.h).
void pace(DWORD ms);

// With Windows' default 15.6 ms tick a 20 ms wait lasts one or two ticks: for the length of an
// update the waits keep a high-resolution timer (or a plain one and the 1 ms tick), and the
// process asks not to be throttled. The end gives all of it back.
void beginPrecisePacing();
void endPrecisePacing();
