// Measures from outside whether a window answers, the way Windows decides that a program hangs:
// sends WM_NULL over and over and times each answer, asks IsHungAppWindow every 100 ms on a
// thread of its own, and once, at a given moment, sends WM_QUERYENDSESSION as a shutdown would.
//
//   zefran-answer-probe <window handle in hex> <probe for ms> <query the end of the session at ms>
//
// Prints one line per measure and exits 0; exits 1 with the reason when it cannot measure (no
// such window, the window went away, no sample taken): never a figure it did not see.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr UINT answerLimitMs = 120000;      // longer than any update: a window that never answers shows as such
constexpr DWORD hungSampleMs = 100;
constexpr DWORD nullGapMs = 10;             // between one answer and the next WM_NULL
constexpr UINT queryLimitMs = 10000;

struct Probe {
    HWND window = nullptr;
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER start = {};
    volatile LONG done = 0;
    volatile LONG windowLost = 0;
    // IsHungAppWindow
    unsigned samples = 0;
    unsigned hungSamples = 0;
    // WM_NULL
    unsigned sent = 0;
    unsigned answered = 0;
    double longestMs = 0;
    double firstAnswerMs = -1;
};

double elapsedMs(const Probe& probe)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - probe.start.QuadPart) * 1000.0 / static_cast<double>(probe.frequency.QuadPart);
}

DWORD WINAPI sampleHung(LPVOID parameter)
{
    auto& probe = *static_cast<Probe*>(parameter);
    while (!probe.done) {
        if (!IsWindow(probe.window)) {
            probe.windowLost = 1;
            break;
        }
        ++probe.samples;
        if (IsHungAppWindow(probe.window))
            ++probe.hungSamples;
        Sleep(hungSampleMs);
    }
    return 0;
}

DWORD WINAPI sendNulls(LPVOID parameter)
{
    auto& probe = *static_cast<Probe*>(parameter);
    while (!probe.done) {
        double sentAt = elapsedMs(probe);
        DWORD_PTR result = 0;
        ++probe.sent;
        LRESULT ok = SendMessageTimeoutW(probe.window, WM_NULL, 0, 0, SMTO_NORMAL, answerLimitMs, &result);
        double waited = elapsedMs(probe) - sentAt;
        if (ok == 0 && !IsWindow(probe.window)) {
            probe.windowLost = 1;
            break;
        }
        if (waited > probe.longestMs)
            probe.longestMs = waited;
        if (ok != 0) {
            ++probe.answered;
            if (probe.firstAnswerMs < 0)
                probe.firstAnswerMs = elapsedMs(probe);
        }
        Sleep(nullGapMs);
    }
    return 0;
}

// What a shutdown asks first. The answer is not acted on: no WM_ENDSESSION follows.
void queryEndSession(const Probe& probe, DWORD atMs)
{
    while (elapsedMs(probe) < atMs)
        Sleep(10);
    double sentAt = elapsedMs(probe);
    DWORD_PTR answer = 0;
    LRESULT ok = SendMessageTimeoutW(probe.window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, queryLimitMs, &answer);
    double waited = elapsedMs(probe) - sentAt;
    if (ok != 0)
        std::printf("WM_QUERYENDSESSION at %.0f ms: answered %s after %.1f ms\n", sentAt, answer ? "TRUE" : "FALSE", waited);
    else
        std::printf("WM_QUERYENDSESSION at %.0f ms: no answer within %u ms\n", sentAt, queryLimitMs);
}

}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: zefran-answer-probe <window handle in hex> <probe ms> <query the end of the session at ms>\n");
        return 1;
    }
    Probe probe;
    probe.window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 16)));
    DWORD probeMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    DWORD queryAtMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    if (!IsWindow(probe.window)) {
        std::fprintf(stderr, "no window %ls to probe\n", argv[1]);
        return 1;
    }
    QueryPerformanceFrequency(&probe.frequency);
    QueryPerformanceCounter(&probe.start);
    HANDLE threads[] = {CreateThread(nullptr, 0, sampleHung, &probe, 0, nullptr),
                        CreateThread(nullptr, 0, sendNulls, &probe, 0, nullptr)};
    if (threads[0] == nullptr || threads[1] == nullptr) {
        std::fprintf(stderr, "cannot start the probing threads: error %lu\n", GetLastError());
        return 1;
    }
    if (queryAtMs < probeMs)
        queryEndSession(probe, queryAtMs);
    while (elapsedMs(probe) < probeMs && !probe.windowLost)
        Sleep(10);
    probe.done = 1;
    // A WM_NULL still unanswered holds its thread: its wait counts as it stands when the probe ends.
    if (WaitForMultipleObjects(2, threads, TRUE, answerLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the window did not answer within %u ms\n", answerLimitMs);
        return 1;
    }
    if (probe.windowLost) {
        std::fprintf(stderr, "the window went away after %.0f ms\n", elapsedMs(probe));
        return 1;
    }
    if (probe.samples == 0 || probe.sent == 0) {
        std::fprintf(stderr, "no sample was taken\n");
        return 1;
    }
    std::printf("WM_NULL: %u sent, %u answered, longest wait %.1f ms, first answer after %.1f ms\n", probe.sent,
                probe.answered, probe.longestMs, probe.firstAnswerMs);
    std::printf("IsHungAppWindow: hung in %u of %u samples\n", probe.hungSamples, probe.samples);
    return 0;
}
