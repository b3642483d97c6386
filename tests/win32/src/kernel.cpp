// kernel32: last error, Sleep on the virtual clock, the process heap.
#include "state.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

using win32double::detail::fail;
using win32double::detail::state;

namespace win32double::detail {

void passTime(DWORD ms)
{
    state().nowMs += ms;
    auto& journal = state().journal;
    if (state().sleepJournalLine != SIZE_MAX && state().sleepJournalLine + 1 == journal.size()) {
        state().sleeps.back() += ms;        // the same wait goes on
    } else {
        state().sleeps.push_back(ms);
        journal.emplace_back();
        state().sleepJournalLine = journal.size() - 1;
    }
    journal.back() = "Sleep " + std::to_string(state().sleeps.back());
    if (state().sleepAction)
        state().sleepAction(state().sleeps.size());
}

}

namespace {

HANDLE const processHeap = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x0DEAD000));

}

extern "C" {

DWORD WINAPI GetLastError(void)
{
    return state().lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    state().lastError = dwErrCode;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    DWORD shortfall = state().nextSleepShortfall < dwMilliseconds ? state().nextSleepShortfall : dwMilliseconds;
    state().nextSleepShortfall = 0;
    win32double::detail::passTime(dwMilliseconds - shortfall);
}

EXECUTION_STATE WINAPI SetThreadExecutionState(EXECUTION_STATE esFlags)
{
    EXECUTION_STATE previous = state().executionState;
    state().executionState = esFlags;
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%08x", static_cast<unsigned>(esFlags));
    state().journal.push_back(std::string("SetThreadExecutionState ") + flags);
    return previous;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
{
    lpFrequency->QuadPart = 1000000;
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(state().nowMs) * 1000;
    return TRUE;
}

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod)
{
    ++state().timerPeriods;
    state().journal.push_back("timeBeginPeriod " + std::to_string(uPeriod));
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod)
{
    if (state().timerPeriods == 0)
        ++state().invalidReleases;
    else
        --state().timerPeriods;
    state().journal.push_back("timeEndPeriod " + std::to_string(uPeriod));
    return TIMERR_NOERROR;
}

HANDLE WINAPI GetProcessHeap(void)
{
    return processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    if (hHeap != processHeap) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (state().heapFailCountdown != 0 && --state().heapFailCountdown == 0)
        return nullptr;                     // HeapAlloc without HEAP_GENERATE_EXCEPTIONS sets no last error
    void* block = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, dwBytes ? dwBytes : 1) : std::malloc(dwBytes ? dwBytes : 1);
    state().heapBlocks[block] = dwBytes;
    return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem)
{
    if (lpMem == nullptr)
        return TRUE;
    auto block = state().heapBlocks.find(lpMem);
    if (hHeap != processHeap || block == state().heapBlocks.end()) {
        ++state().invalidReleases;
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state().heapBlocks.erase(block);
    std::free(lpMem);
    return TRUE;
}

}
