// kernel32 and user32 waits on the virtual clock: events, waitable timers, overlapped transfers
// that end later, MsgWaitForMultipleObjectsEx, and the process's power throttling.
#include "state.h"

#include <algorithm>
#include <cstdio>
#include <utility>

using win32double::detail::fail;
using win32double::detail::PendingIo;
using win32double::detail::state;
using win32double::detail::WaitObject;

namespace {

const HMODULE kernelModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x0BEE0000));

WaitObject* waitObject(HANDLE handle)
{
    auto found = state().waitObjects.find(handle);
    return found == state().waitObjects.end() ? nullptr : &found->second;
}

void signal(HANDLE handle)
{
    if (WaitObject* object = waitObject(handle))
        object->signalled = true;
}

// A reply that arrives while its read is being cancelled completes the read: the cancellation
// comes too late for it. It arrives once, and never more than the read asked for.
bool completedAsCancelled(const PendingIo& pending)
{
    auto file = state().fileHandles.find(pending.file);
    if (pending.buffer == nullptr || file == state().fileHandles.end() || file->second.device->replyAsCancelled.empty())
        return false;
    std::vector<std::uint8_t> reply = std::move(file->second.device->replyAsCancelled);
    file->second.device->replyAsCancelled.clear();
    if (reply.size() > pending.length)
        reply.resize(pending.length);
    std::copy(reply.begin(), reply.end(), pending.buffer);
    win32double::detail::completeIo(pending.overlapped, 0, static_cast<DWORD>(reply.size()));
    return true;
}

// A timer whose due time has come is signalled and disarmed.
void fireDueTimers()
{
    for (auto& [handle, object] : state().waitObjects)
        if (object.kind == WaitObject::Timer && object.dueMs && *object.dueMs <= state().nowMs) {
            object.dueMs.reset();
            object.signalled = true;
        }
}

// What was scheduled for a moment that has come runs now, in the order of its moments.
void runScheduled()
{
    auto& scheduled = state().scheduled;
    while (!scheduled.empty() && scheduled.begin()->first <= state().nowMs) {
        auto action = std::move(scheduled.begin()->second);
        scheduled.erase(scheduled.begin());
        action();
    }
}

// The first of the handles that is signalled; a synchronization object is reset by the wait.
std::optional<DWORD> signalledIndex(DWORD count, const HANDLE* handles)
{
    for (DWORD i = 0; i < count; ++i) {
        WaitObject* object = waitObject(handles[i]);
        if (object != nullptr && object->signalled) {
            if (!object->manualReset)
                object->signalled = false;
            return i;
        }
    }
    return std::nullopt;
}

bool messageWakes(DWORD wakeMask)
{
    return ((wakeMask & QS_SENDMESSAGE) != 0 && !state().pendingSends.empty()) ||
           ((wakeMask & QS_PAINT) != 0 && !state().needsPaint.empty());
}

// The next moment something can change for this wait: a timer among its handles, its own
// time-out, or what the test scheduled.
std::optional<std::uint64_t> nextMoment(DWORD count, const HANDLE* handles, std::optional<std::uint64_t> timeoutAt)
{
    std::optional<std::uint64_t> next = timeoutAt;
    auto consider = [&next](std::uint64_t at) {
        if (!next || at < *next)
            next = at;
    };
    for (DWORD i = 0; i < count; ++i)
        if (WaitObject* object = waitObject(handles[i]); object != nullptr && object->dueMs)
            consider(*object->dueMs);
    if (!state().scheduled.empty())
        consider(state().scheduled.begin()->first);
    return next;
}

std::string hex(ULONG value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

}

namespace win32double {

void at(std::uint64_t ms, std::function<void()> action)
{
    state().scheduled.emplace(ms, std::move(action));
}

void refuseHighResolutionTimer()
{
    state().highResolutionRefused = true;
}

void withoutProcessInformation()
{
    state().processInformationMissing = true;
}

void refuseThrottlingFlag(ULONG flag)
{
    state().refusedThrottlingFlags |= flag;
}

ULONG throttlingControl()
{
    return state().throttlingControl;
}

namespace detail {

void completeIo(OVERLAPPED* overlapped, DWORD error, DWORD moved)
{
    overlapped->Internal = error;
    overlapped->InternalHigh = moved;
    signal(overlapped->hEvent);
}

void failPendingIoOf(const HidInterface& device)
{
    auto& pending = state().pendingIo;
    for (auto at = pending.begin(); at != pending.end();) {
        auto file = state().fileHandles.find(at->file);
        if (file != state().fileHandles.end() && file->second.device == &device) {
            completeIo(at->overlapped, ERROR_DEVICE_NOT_CONNECTED, 0);
            at = pending.erase(at);
        } else {
            ++at;
        }
    }
}

}
}

extern "C" {

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR)
{
    HANDLE handle = win32double::detail::newHandleValue();
    WaitObject object;
    object.manualReset = bManualReset != FALSE;
    object.signalled = bInitialState != FALSE;
    state().waitObjects[handle] = object;
    return handle;
}

namespace {

BOOL signalEvent(HANDLE hEvent, bool signalled)
{
    WaitObject* object = waitObject(hEvent);
    if (object == nullptr || object->kind != WaitObject::Event) {
        fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->signalled = signalled;
    return TRUE;
}

}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    return signalEvent(hEvent, true);
}

BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    return signalEvent(hEvent, false);
}

// Windows 8.1 and older refuse the high-resolution flag with ERROR_INVALID_PARAMETER.
HANDLE WINAPI CreateWaitableTimerExW(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD dwFlags, DWORD)
{
    bool highResolution = (dwFlags & CREATE_WAITABLE_TIMER_HIGH_RESOLUTION) != 0;
    state().journal.push_back("CreateWaitableTimerExW " + hex(dwFlags) +
                              (highResolution && state().highResolutionRefused ? " failed" : ""));
    if (highResolution && state().highResolutionRefused) {
        fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = win32double::detail::newHandleValue();
    WaitObject object;
    object.kind = WaitObject::Timer;
    object.manualReset = false;
    object.highResolution = highResolution;
    state().waitObjects[handle] = object;
    return handle;
}

// Only relative due times (negative, in 100 ns units), rounded up to the clock's milliseconds.
BOOL WINAPI SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod, PTIMERAPCROUTINE,
                             LPVOID, BOOL)
{
    WaitObject* timer = waitObject(hTimer);
    if (timer == nullptr || timer->kind != WaitObject::Timer || lpDueTime->QuadPart > 0 || lPeriod != 0) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::uint64_t ms = static_cast<std::uint64_t>(-lpDueTime->QuadPart + 9999) / 10000;
    DWORD shortfall = state().nextSleepShortfall < ms ? state().nextSleepShortfall : static_cast<DWORD>(ms);
    state().nextSleepShortfall = 0;
    timer->signalled = false;
    timer->dueMs = state().nowMs + ms - shortfall;
    return TRUE;
}

// Sent messages and painting wake it as they wake Windows' own; time passes only while nothing
// is signalled and no message wakes it, one stretch joined to the wait journalled before it.
DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMilliseconds, DWORD dwWakeMask,
                                         DWORD)
{
    std::optional<std::uint64_t> timeoutAt;
    if (dwMilliseconds != INFINITE) {
        DWORD shortfall = state().nextSleepShortfall < dwMilliseconds ? state().nextSleepShortfall : dwMilliseconds;
        state().nextSleepShortfall = 0;
        timeoutAt = state().nowMs + dwMilliseconds - shortfall;
    }
    for (;;) {
        fireDueTimers();
        runScheduled();
        if (auto index = signalledIndex(nCount, pHandles))
            return WAIT_OBJECT_0 + *index;
        if (messageWakes(dwWakeMask))
            return WAIT_OBJECT_0 + nCount;
        if (timeoutAt && *timeoutAt <= state().nowMs)
            return WAIT_TIMEOUT;
        std::optional<std::uint64_t> next = nextMoment(nCount, pHandles, timeoutAt);
        if (!next) {
            ++state().waitsWithoutEnd;      // a real thread would hang here for good
            fail(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        win32double::detail::passTime(static_cast<DWORD>(*next - state().nowMs));
    }
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait)
{
    for (const auto& pending : state().pendingIo)
        if (pending.file == hFile && pending.overlapped == lpOverlapped) {
            if (bWait)
                ++state().waitsWithoutEnd;  // nothing ends a transfer the double keeps pending
            fail(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
    *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    if (lpOverlapped->Internal != 0) {
        fail(static_cast<DWORD>(lpOverlapped->Internal));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped)
{
    state().journal.push_back("CancelIoEx");
    auto& pending = state().pendingIo;
    for (auto at = pending.begin(); at != pending.end(); ++at)
        if (at->file == hFile && (lpOverlapped == nullptr || at->overlapped == lpOverlapped)) {
            if (!completedAsCancelled(*at))
                win32double::detail::completeIo(at->overlapped, ERROR_OPERATION_ABORTED, 0);
            pending.erase(at);
            return TRUE;
        }
    fail(ERROR_NOT_FOUND);
    return FALSE;
}

HANDLE WINAPI GetCurrentProcess(void)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    std::wstring name = lpModuleName != nullptr ? lpModuleName : L"";
    if (name == L"kernel32.dll" || name == L"KERNEL32.DLL")
        return kernelModule;
    fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

// Windows 7's kernel32 has no SetProcessInformation.
FARPROC WINAPI GetProcAddress(HMODULE hModule, const char* lpProcName)
{
    if (hModule == kernelModule && std::string(lpProcName) == "SetProcessInformation" &&
        !state().processInformationMissing)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SetProcessInformation));
    fail(127);                              // ERROR_PROC_NOT_FOUND
    return nullptr;
}

// Windows 10 refuses PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION; a test can refuse any flag.
BOOL WINAPI SetProcessInformation(HANDLE, PROCESS_INFORMATION_CLASS ProcessInformationClass, LPVOID ProcessInformation,
                                  DWORD ProcessInformationSize)
{
    const auto* throttling = static_cast<const PROCESS_POWER_THROTTLING_STATE*>(ProcessInformation);
    if (ProcessInformationClass != ProcessPowerThrottling || ProcessInformationSize != sizeof *throttling ||
        throttling->Version != PROCESS_POWER_THROTTLING_CURRENT_VERSION) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool refused = (throttling->ControlMask & state().refusedThrottlingFlags) != 0;
    state().journal.push_back("SetProcessInformation " + hex(throttling->ControlMask) + " " +
                              hex(throttling->StateMask) + (refused ? " failed" : ""));
    if (refused) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Each call replaces the last: the flags of its control mask are held to its state mask, the
    // rest the system decides.
    state().throttlingControl = throttling->ControlMask;
    return TRUE;
}

}
