#include "pacing.h"

#include "thread_wait.h"

#include <mmsystem.h>

namespace {

constexpr UINT timerResolutionMs = 1;

using SetProcessInformationCall = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);

bool askedForTick = false;
bool throttlingHeldOff = false;

// Windows 7's kernel32 has none: it is looked up, not imported.
SetProcessInformationCall setProcessInformation()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    // Through the generic function type, which any function pointer may be cast from and to.
    return reinterpret_cast<SetProcessInformationCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetProcessInformation")));
}

bool holdThrottling(SetProcessInformationCall set, ULONG control)
{
    PROCESS_POWER_THROTTLING_STATE throttling = {};
    throttling.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    throttling.ControlMask = control;
    throttling.StateMask = 0;               // in the control mask and clear here: not throttled
    return set(GetCurrentProcess(), ProcessPowerThrottling, &throttling, sizeof throttling) != FALSE;
}

// A minimized or covered window's process may be slowed, and on Windows 11 its timer requests
// ignored. Both together where Windows takes them; each on its own where it refuses one
// (Windows 10 knows no timer flag). Each call sets the whole mask, so the one that stands last wins.
void holdOffThrottling()
{
    SetProcessInformationCall set = setProcessInformation();
    if (set == nullptr)
        return;
    const ULONG flags[] = {PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION, PROCESS_POWER_THROTTLING_EXECUTION_SPEED};
    throttlingHeldOff = holdThrottling(set, flags[0] | flags[1]);
    for (ULONG flag : flags)
        if (!throttlingHeldOff)
            throttlingHeldOff = holdThrottling(set, flag);
}

// An empty control mask gives every decision back to the system.
void releaseThrottling()
{
    SetProcessInformationCall set = throttlingHeldOff ? setProcessInformation() : nullptr;
    if (set != nullptr)
        holdThrottling(set, 0);
    throttlingHeldOff = false;
}

}

void pace(DWORD ms)
{
    waitAnswering(nullptr, ms);
}

void beginPrecisePacing()
{
    holdOffThrottling();
    askedForTick = !startPreciseTimer();
    if (askedForTick)
        timeBeginPeriod(timerResolutionMs);
}

void endPrecisePacing()
{
    stopPreciseTimer();
    if (askedForTick)
        timeEndPeriod(timerResolutionMs);
    askedForTick = false;
    releaseThrottling();
}
