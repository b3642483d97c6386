#include "pacing.h"

#include <mmsystem.h>

namespace {

constexpr UINT timerResolutionMs = 1;
// A window that reads no message for 5 s is taken for hung; a message sent to this one waits
// no longer than a slice.
constexpr LONGLONG answerSliceMs = 25;
// A window that does not validate what it paints would be offered WM_PAINT again at once.
constexpr int paintsPerSlice = 16;

LONGLONG counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// PeekMessageW runs the messages other threads and the system sent to the windows (device
// changes, the shutdown's question, WM_NULL) before it looks at the queue; PM_NOREMOVE takes
// nothing from it. Of what is queued only WM_PAINT is dispatched.
void answerWindows()
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    for (int i = 0; i < paintsPerSlice && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageW(&message);
}

}

void pace(DWORD ms)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LONGLONG due = counterNow() + static_cast<LONGLONG>(ms) * frequency.QuadPart / 1000;
    answerWindows();
    for (LONGLONG now = counterNow(); now < due; now = counterNow()) {
        LONGLONG missingMs = ((due - now) * 1000 + frequency.QuadPart - 1) / frequency.QuadPart;
        Sleep(static_cast<DWORD>(missingMs < answerSliceMs ? missingMs : answerSliceMs));
        if (counterNow() < due)
            answerWindows();
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
