#include "pipe_unit.h"

#include "dropin_protocol.h"
#include "units.h"

#include <cstdio>

namespace dropin {

namespace {

constexpr DWORD pipeBufferSize = 256;
constexpr int spareListeners = 2;

// Waits for overlapped I/O unless the unit is unplugged first; false on failure or unplug.
bool finishIo(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop, DWORD& transferred)
{
    HANDLE events[2] = {overlapped.hEvent, stop};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE;
}

bool startedOrPending(BOOL started)
{
    return started || GetLastError() == ERROR_IO_PENDING;
}

std::wstring unitPath(int number, const sim::UnitIdentity& identity)
{
    wchar_t path[160];
    swprintf(path, 160, L"\\\\.\\pipe\\hid#vid_%04x&pid_%04x#zefran&%lu&%d#{4d1e55b2-f16f-11cf-88cb-001111000030}",
             identity.vendorId, identity.productId, GetCurrentProcessId(), number);
    return path;
}

}

double nowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

PipeUnit::PipeUnit(int number, const sim::UnitDescription& description, const std::wstring& outFolder)
    : number_(number), path_(unitPath(number, description.identity)), outFolder_(outFolder), unit_(description.identity, nowMs()),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock_);
    for (const sim::FaultRule& rule : description.faults)
        unit_.addFault(rule);
    std::wstring name = outFolder_ + L"\\unit-" + std::to_wstring(number_) + L".transcript";
    transcript_ = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
}

PipeUnit::~PipeUnit()
{
    stop();
    if (transcript_ != INVALID_HANDLE_VALUE)
        CloseHandle(transcript_);
    CloseHandle(stopEvent_);
    DeleteCriticalSection(&lock_);
}

bool PipeUnit::start()
{
    for (int i = 0; i < spareListeners; ++i)
        if (!addListener())
            return false;
    saveFlash();
    return true;
}

bool PipeUnit::addListener()
{
    if (WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0)
        return false;                       // unplugged: nobody can connect any more
    // Created here, not in the thread, so that a client can open it the moment this returns.
    HANDLE pipe = CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                   pipeBufferSize, pipeBufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    auto* instance = new Instance{this, pipe};
    HANDLE thread = CreateThread(nullptr, 0, instanceThread, instance, 0, nullptr);
    if (thread == nullptr) {
        CloseHandle(pipe);
        delete instance;
        return false;
    }
    EnterCriticalSection(&lock_);
    threads_.push_back(thread);
    LeaveCriticalSection(&lock_);
    return true;
}

DWORD WINAPI PipeUnit::instanceThread(LPVOID parameter)
{
    auto* instance = static_cast<Instance*>(parameter);
    PipeUnit* self = instance->unit;
    HANDLE pipe = instance->pipe;
    delete instance;

    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD ignored = 0;
    BOOL started = ConnectNamedPipe(pipe, &overlapped);
    bool connected = GetLastError() == ERROR_PIPE_CONNECTED ||
                     (startedOrPending(started) && finishIo(pipe, overlapped, self->stopEvent_, ignored));
    CloseHandle(overlapped.hEvent);
    if (connected) {
        InterlockedIncrement(&self->clients_);
        self->addListener();
        self->serve(pipe);
        InterlockedDecrement(&self->clients_);
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return 0;
}

void PipeUnit::serve(HANDLE pipe)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BYTE request[pipeBufferSize];
    for (;;) {
        DWORD length = 0;
        ResetEvent(overlapped.hEvent);
        if (!startedOrPending(ReadFile(pipe, request, sizeof request, nullptr, &overlapped)) ||
            !finishIo(pipe, overlapped, stopEvent_, length))
            break;                          // the client closed its handle, or the unit was pulled out
        if (!answer(pipe, request, length))
            break;
    }
    CloseHandle(overlapped.hEvent);
}

bool PipeUnit::answer(HANDLE pipe, const BYTE* request, DWORD length)
{
    std::vector<BYTE> reply;
    if (length >= 2 && request[0] == queryReportId && request[1] == queryAttributes) {
        const sim::UnitIdentity& id = unit_.identity();
        UnitAnswer answer = {queryReportId, queryAttributes, id.vendorId, id.productId, 0x0100,
                             id.inputReportLength, id.outputReportLength};
        reply.assign(reinterpret_cast<BYTE*>(&answer), reinterpret_cast<BYTE*>(&answer) + sizeof answer);
    } else {
        EnterCriticalSection(&lock_);
        double now = nowMs();
        reply.resize(unit_.identity().inputReportLength);
        bool written = unit_.write(request, length, now);
        bool read = written && unit_.read(reply.data(), reply.size(), now);
        record(unit_.transcript().back());
        bool unplugged = !unit_.plugged();
        bool released = length > 3 && request[1] == 0x0B && request[3] == 0x00;
        LeaveCriticalSection(&lock_);
        if (released)
            saveFlash();                    // the update is over: what the controller holds now
        if (unplugged)
            unplugSoon();
        // The request is already in the pipe: a unit that refuses it can only fail the read.
        if (!read)
            return false;
    }

    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    bool sent = startedOrPending(WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &overlapped)) &&
                finishIo(pipe, overlapped, stopEvent_, written);
    CloseHandle(overlapped.hEvent);

    EnterCriticalSection(&lock_);
    bool unplugDue = unit_.unplugDueBeforeNextRequest();
    LeaveCriticalSection(&lock_);
    if (sent && unplugDue) {
        // Pulled out before the next request can arrive: once the host has read this reply.
        FlushFileBuffers(pipe);
        EnterCriticalSection(&lock_);
        unit_.unplug();
        LeaveCriticalSection(&lock_);
        unplugSoon();
        return false;
    }
    return sent;
}

void PipeUnit::record(const sim::TranscriptEntry& entry)
{
    if (transcript_ == INVALID_HANDLE_VALUE)
        return;
    std::string line = sim::SimulatedUnit::transcriptLine(entry);
    DWORD written = 0;
    WriteFile(transcript_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void PipeUnit::unplugSoon()
{
    SetEvent(stopEvent_);                   // every instance closes now; the removal follows
    detachUnitLater(number_);
}

void PipeUnit::stop()
{
    EnterCriticalSection(&lock_);
    bool first = !stopped_;
    stopped_ = true;
    unit_.unplug();
    std::vector<HANDLE> threads = threads_;
    LeaveCriticalSection(&lock_);
    if (!first)
        return;
    SetEvent(stopEvent_);
    for (HANDLE thread : threads) {
        if (GetThreadId(thread) != GetCurrentThreadId())
            WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    saveFlash();
}

void PipeUnit::saveFlash()
{
    EnterCriticalSection(&lock_);
    std::vector<std::uint8_t> flash = unit_.flash();
    LeaveCriticalSection(&lock_);
    std::wstring name = outFolder_ + L"\\unit-" + std::to_wstring(number_) + L".flash.bin";
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, flash.data(), static_cast<DWORD>(flash.size()), &written, nullptr);
    CloseHandle(file);
}

}
