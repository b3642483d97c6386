// The one way the thread waits: for a due time, for an overlapped transfer, or for both, while
// the windows keep answering. What Windows and other programs send to them is handled at once
// and they repaint; no input and no posted message is dispatched, so nothing the user does acts
// in the middle of a wait.
#pragma once

#include <windows.h>

// Waits until object is signalled or ms milliseconds have passed by the monotonic clock,
// whichever comes first; a null object waits the whole time. True when object was signalled.
// A wait that ends by its time never ends early.
bool waitAnswering(HANDLE object, DWORD ms);

// A waitable timer meets each due time to the timer's own precision, where a time-out would end
// on Windows' 15.6 ms tick. With the high-resolution flag refused (before Windows 10 1803) a
// plain timer is taken: false then, and the caller asks for the 1 ms tick itself.
bool startPreciseTimer();
void stopPreciseTimer();
