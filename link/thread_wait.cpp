#include "thread_wait.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

// Sent messages are what Windows' hung test and other programs wait on; painting keeps the
// windows whole. Input stays in the queue.
constexpr DWORD wakeKinds = QS_SENDMESSAGE | QS_PAINT;
// A window that does not validate what it paints would be offered WM_PAINT again at once.
constexpr int paintsPerWake = 16;

HANDLE preciseTimer = nullptr;

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
    for (int i = 0; i < paintsPerWake && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageW(&message);
}

// How long the next look waits: rounded up, so that a time-out never ends before the due time.
// With the timer armed for the rest, the look itself waits without a time-out.
DWORD armForRest(HANDLE timer, LONGLONG rest, LONGLONG frequency)
{
    if (rest <= 0)
        return 0;
    if (timer != nullptr) {
        LARGE_INTEGER due;
        due.QuadPart = -((rest * 10000000 + frequency - 1) / frequency);    // relative, in 100 ns
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
            return INFINITE;
    }
    return static_cast<DWORD>((rest * 1000 + frequency - 1) / frequency);
}

}

bool waitAnswering(HANDLE object, DWORD ms)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LONGLONG due = counterNow() + static_cast<LONGLONG>(ms) * frequency.QuadPart / 1000;
    // Only a wait for its time alone needs the timer's precision; a transfer's limit does not.
    HANDLE timer = object == nullptr ? preciseTimer : nullptr;
    HANDLE handles[1] = {object != nullptr ? object : timer};
    DWORD count = handles[0] != nullptr ? 1 : 0;
    for (;;) {
        DWORD timeout = armForRest(timer, due - counterNow(), frequency.QuadPart);
        DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, timeout, wakeKinds, 0);
        if (object != nullptr && woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_OBJECT_0 + count)
            answerWindows();
        else if (woke == WAIT_FAILED)
            Sleep(1);                       // never a busy loop, whatever the wait refused
        else if (counterNow() >= due)
            return false;                   // the timer or the time-out, and the time is up
    }
}

bool startPreciseTimer()
{
    preciseTimer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (preciseTimer != nullptr)
        return true;
    preciseTimer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    return false;
}

void stopPreciseTimer()
{
    if (preciseTimer != nullptr)
        CloseHandle(preciseTimer);
    preciseTimer = nullptr;
}
