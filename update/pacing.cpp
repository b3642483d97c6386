#include "pacing.h"

#include <mmsystem.h>

namespace {

constexpr UINT timerResolutionMs = 1;

LONGLONG counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}

void pace(DWORD ms)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LONGLONG due = counterNow() + static_cast<LONGLONG>(ms) * frequency.QuadPart / 1000;
    Sleep(ms);
    for (LONGLONG now = counterNow(); now < due; now = counterNow()) {
        LONGLONG missingMs = ((due - now) * 1000 + frequency.QuadPart - 1) / frequency.QuadPart;
        Sleep(static_cast<DWORD>(missingMs));
    }
}

void beginPrecisePacing()
{
    timeBeginPeriod(timerResolutionMs);
}

void endPrecisePacing()
{
    timeEndPeriod(timerResolutionMs);
}
