#include "host_unit.h"

#include "host_log.h"
#include "root_devices.h"
#include "unit_link.h"

namespace host {

namespace {

constexpr DWORD pipeBufferSize = 1024;

std::wstring pipePath(int number)
{
    return std::wstring(L"\\\\.\\pipe\\") + UNIT_LINK_PIPE_PREFIX + instancePart(number);
}

const char* linkFaultNote(const sim::LinkFaultRule* rule)
{
    if (rule == nullptr)
        return nullptr;
    switch (rule->fault) {
    case sim::LinkFault::Stall: return "link:stall";
    case sim::LinkFault::ShortReply: return "link:short-reply";
    case sim::LinkFault::WrongAnswer: return "link:wrong-answer";
    case sim::LinkFault::BrokenPipe: return "link:broken-pipe";
    }
    return nullptr;
}

std::string giveUpReason(unsigned char reason)
{
    switch (reason) {
    case UNIT_LINK_NO_ANSWER: return "no answer within " + std::to_string(UNIT_LINK_ANSWER_LIMIT_MS) + " ms";
    case UNIT_LINK_BAD_ANSWER: return "an answer that does not fit the request";
    }
    return "reason " + std::to_string(reason);
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

HostUnit::HostUnit(int number, const sim::UnitDescription& description, const std::wstring& outFolder,
                   std::function<void(int)> pulledOut)
    : number_(number), instanceId_(rootInstanceId(description.identity.vendorId, description.identity.productId, number)),
      outFolder_(outFolder), pulledOut_(std::move(pulledOut)), unit_(description.identity, nowMs()),
      linkFaults_(description.linkFaults),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), ioEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock_);
    for (const sim::FaultRule& rule : description.faults)
        unit_.addFault(rule);
    std::wstring name = outFolder_ + L"\\unit-" + std::to_wstring(number_) + L".transcript";
    transcript_ = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
}

HostUnit::~HostUnit()
{
    stop();
    if (transcript_ != INVALID_HANDLE_VALUE)
        CloseHandle(transcript_);
    CloseHandle(ioEvent_);
    CloseHandle(stopEvent_);
    DeleteCriticalSection(&lock_);
}

bool HostUnit::listen()
{
    // One instance: one driver per device. Byte mode: the driver reads a header, then what it announces.
    pipe_ = CreateNamedPipeW(pipePath(number_).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, pipeBufferSize, pipeBufferSize, 0, nullptr);
    if (pipe_ == INVALID_HANDLE_VALUE)
        return false;
    thread_ = CreateThread(nullptr, 0, serveThread, this, 0, nullptr);
    saveFlash();
    return thread_ != nullptr;
}

void HostUnit::stop()
{
    SetEvent(stopEvent_);
    if (thread_ != nullptr) {
        if (GetThreadId(thread_) != GetCurrentThreadId())
            WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        thread_ = nullptr;
        saveFlash();
    }
    if (pipe_ != INVALID_HANDLE_VALUE) {
        CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
    }
}

DWORD WINAPI HostUnit::serveThread(LPVOID self)
{
    static_cast<HostUnit*>(self)->serve();
    return 0;
}

// The driver connects when the device starts; a device started again connects again.
void HostUnit::serve()
{
    while (WaitForSingleObject(stopEvent_, 0) == WAIT_TIMEOUT) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = ioEvent_;
        ResetEvent(ioEvent_);
        BOOL connected = ConnectNamedPipe(pipe_, &overlapped);
        DWORD ignored = 0;
        if (!connected && GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[2] = {ioEvent_, stopEvent_};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(pipe_);
                GetOverlappedResult(pipe_, &overlapped, &ignored, TRUE);
                return;
            }
            connected = GetOverlappedResult(pipe_, &overlapped, &ignored, FALSE);
        } else if (!connected) {
            connected = GetLastError() == ERROR_PIPE_CONNECTED;
        }
        while (connected && serveClient()) {
        }
        DisconnectNamedPipe(pipe_);
        if (connected && !leaving_ && !pulled_ && WaitForSingleObject(stopEvent_, 0) == WAIT_TIMEOUT)
            goAway("the driver ended the link without a word");
    }
}

// All of one read or write, unless the pipe breaks or the host stops.
bool HostUnit::transfer(bool write, BYTE* data, DWORD length)
{
    while (length != 0) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = ioEvent_;
        ResetEvent(ioEvent_);
        BOOL started = write ? WriteFile(pipe_, data, length, nullptr, &overlapped)
                             : ReadFile(pipe_, data, length, nullptr, &overlapped);
        DWORD moved = 0;
        if (!started && GetLastError() != ERROR_IO_PENDING)
            return false;
        HANDLE events[2] = {ioEvent_, stopEvent_};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(pipe_);
            GetOverlappedResult(pipe_, &overlapped, &moved, TRUE);
            return false;
        }
        if (!GetOverlappedResult(pipe_, &overlapped, &moved, FALSE) || moved == 0)
            return false;
        data += moved;
        length -= moved;
    }
    return true;
}

std::vector<BYTE> HostUnit::describe() const
{
    const sim::UnitIdentity& id = unit_.identity();
    unit_link_description description = {id.vendorId, id.productId, 0x0100, id.inputReportLength, id.outputReportLength};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&description);
    return std::vector<BYTE>(bytes, bytes + sizeof description);
}

// One output report through the simulated unit. hidclass cannot fail one read: a reply the unit
// cannot give ends with the unit's removal, which fails the read the updater is waiting in. A
// unit told to stop answering leaves the read waiting until the unit is pulled out.
unsigned char HostUnit::exchange(const BYTE* report, DWORD length, std::vector<BYTE>& reply, const char* linkNote)
{
    EnterCriticalSection(&lock_);
    double now = nowMs();
    reply.assign(unit_.identity().inputReportLength, 0);
    bool written = unit_.write(report, length, now);
    bool read = written && unit_.read(reply.data(), reply.size(), now);
    bool silent = written && !read && unit_.silent();
    record(unit_.transcript().back(), linkNote);
    bool pullOut = !unit_.plugged() || (written && !read && !silent);
    bool released = length > 3 && report[1] == 0x0B && report[3] == 0x00;
    LeaveCriticalSection(&lock_);
    if (released || pullOut)
        saveFlash();                        // the update is over, or the unit goes: what the controller holds now
    if (pullOut)
        pullOutOnce();
    if (!read)
        reply.clear();
    return !written ? UNIT_LINK_WRITE_FAILS : read ? UNIT_LINK_REPLY : UNIT_LINK_NO_REPLY;
}

const sim::LinkFaultRule* HostUnit::linkFaultAt(std::uint32_t exchange) const
{
    for (const sim::LinkFaultRule& rule : linkFaults_)
        if (rule.exchange == exchange)
            return &rule;
    return nullptr;
}

// One message from the driver and the answer to it. A link fault of the description bends the
// answer; a stalled answer is never sent, and the driver's next word is its giving up.
bool HostUnit::serveClient()
{
    unit_link_header header = {};
    if (!transfer(false, reinterpret_cast<BYTE*>(&header), sizeof header))
        return false;
    std::vector<BYTE> message(header.length);
    if (header.length != 0 && !transfer(false, message.data(), header.length))
        return false;
    if (header.kind == UNIT_LINK_GIVE_UP) {
        goAway("the driver gave up on the link: " + giveUpReason(header.verdict));
        return false;
    }
    std::vector<BYTE> reply;
    unit_link_header answer = {header.kind, UNIT_LINK_REPLY, 0};
    const sim::LinkFaultRule* fault = nullptr;
    if (header.kind == UNIT_LINK_DESCRIBE) {
        reply = describe();
    } else if (header.kind == UNIT_LINK_REPORT) {
        fault = linkFaultAt(++reports_);
        answer.verdict = exchange(message.data(), header.length, reply, linkFaultNote(fault));
    } else {
        return false;
    }
    if (fault != nullptr && fault->fault == sim::LinkFault::Stall)
        return true;
    if (fault != nullptr && fault->fault == sim::LinkFault::BrokenPipe) {
        goAway("ended the link at exchange " + std::to_string(reports_) + ", as its description says");
        return false;
    }
    if (fault != nullptr && fault->fault == sim::LinkFault::ShortReply && !reply.empty())
        reply.pop_back();
    if (fault != nullptr && fault->fault == sim::LinkFault::WrongAnswer)
        answer.kind = UNIT_LINK_DESCRIBE;
    answer.length = static_cast<unsigned short>(reply.size());
    std::vector<BYTE> out(reinterpret_cast<BYTE*>(&answer), reinterpret_cast<BYTE*>(&answer) + sizeof answer);
    out.insert(out.end(), reply.begin(), reply.end());
    return transfer(true, out.data(), static_cast<DWORD>(out.size()));
}

void HostUnit::goAway(const std::string& why)
{
    logLine("unit " + std::to_string(number_) + ": " + why + "; the unit is removed");
    pullOutOnce();
}

void HostUnit::pullOutOnce()
{
    if (!pulled_) {
        pulled_ = true;
        pulledOut_(number_);
    }
}

void HostUnit::record(const sim::TranscriptEntry& entry, const char* linkNote)
{
    if (transcript_ == INVALID_HANDLE_VALUE)
        return;
    std::string line = sim::SimulatedUnit::transcriptLine(entry);
    if (linkNote != nullptr)
        line.insert(line.size() - 1, std::string(" ") + linkNote);
    DWORD written = 0;
    WriteFile(transcript_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void HostUnit::saveFlash()
{
    EnterCriticalSection(&lock_);
    std::vector<std::uint8_t> flash = unit_.flash();
    LeaveCriticalSection(&lock_);
    saveBytes(L"unit-" + std::to_wstring(number_) + L".flash.bin", flash);
}

bool HostUnit::changeController(const std::string& keys, std::string& error)
{
    EnterCriticalSection(&lock_);
    sim::UnitIdentity controller = unit_.identity();
    bool changed = sim::parseControllerChange(keys, controller, error);
    std::uint32_t takenOffBefore = unit_.controllersTakenOff();
    std::vector<std::uint8_t> takenOff;
    if (changed)
        takenOff = unit_.changeController(controller);
    LeaveCriticalSection(&lock_);
    if (!changed)
        return false;
    saveBytes(L"unit-" + std::to_wstring(number_) + L".controller-" + std::to_wstring(takenOffBefore) + L".flash.bin",
              takenOff);
    saveFlash();
    logLine("unit " + std::to_string(number_) + ": another controller on the lead: " + keys);
    return true;
}

void HostUnit::saveBytes(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const
{
    std::wstring path = outFolder_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}
