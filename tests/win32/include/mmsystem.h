// Test double: the timer resolution calls of winmm.
#pragma once

#include <windows.h>

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0u

extern "C" {

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);

}
