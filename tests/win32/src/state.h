// The double's shared state, for its own sources only.
#pragma once

#include "win32_double.h"

#include <cstdint>
#include <list>
#include <map>
#include <optional>

namespace win32double::detail {

struct FileHandle {
    HidInterface* device;
    bool overlapped;
};

// An overlapped transfer that has not completed: a read no reply came for, a write the unit
// never took. It ends when the device goes or when it is cancelled.
struct PendingIo {
    HANDLE file;
    OVERLAPPED* overlapped;
    std::uint8_t* buffer = nullptr;         // a read's: where a reply arriving late goes
    DWORD length = 0;                       // and how much of it the read asked for
};

struct WaitObject {
    enum Kind { Event, Timer } kind = Event;
    bool manualReset = true;                // timers: false, a synchronization timer
    bool signalled = false;
    std::optional<std::uint64_t> dueMs;     // timers: armed until then
    bool highResolution = false;
};

struct State {
    DWORD lastError = 0;
    std::uint64_t nowMs = 0;
    std::vector<DWORD> sleeps;
    std::vector<std::string> journal;

    std::list<HidInterface> bus;            // a list: references stay valid as devices come and go
    unsigned nextSerial = 0;
    bool classDevsFails = false;
    DWORD classDevsFlags = 0;
    std::vector<CreateFileCall> createFileCalls;

    std::uintptr_t nextHandle = 0x1000;
    std::map<HANDLE, FileHandle> fileHandles;
    std::map<void*, std::vector<HidInterface*>> deviceInfoLists;
    std::map<void*, HidInterface*> preparsedData;
    std::map<void*, SIZE_T> heapBlocks;
    unsigned heapFailCountdown = 0;
    std::size_t invalidReleases = 0;
    std::map<HANDLE, std::wstring> mutexHandles;
    std::vector<std::wstring> mutexNames;   // every name CreateMutexW was asked for
    std::wstring otherUpdaterLock;          // a mutex another program holds
    bool otherUpdaterInOtherSession = false;

    LANGID userInterfaceLanguage = 0x0409;

    std::list<Window> windows;
    std::function<void(HWND)> dialogScript;
    bool dialogLeftRunning = false;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<int> messageBoxAnswers;
    std::vector<NotificationRegistration> registrations;
    bool registrationFails = false;
    bool commonControlsInitialised = false;
    HWND foreground = nullptr;
    std::function<void(const MessageBoxCall&)> messageBoxAction;
    DWORD nextSleepShortfall = 0;
    std::function<void(std::size_t)> sleepAction;
    std::size_t sleepJournalLine = SIZE_MAX;    // the journal line of the last wait, while nothing followed it
    int timerPeriods = 0;
    std::map<HANDLE, WaitObject> waitObjects;
    std::list<PendingIo> pendingIo;
    std::size_t waitsWithoutEnd = 0;        // waits nothing could ever end
    std::multimap<std::uint64_t, std::function<void()>> scheduled;
    bool highResolutionRefused = false;
    bool processInformationMissing = false;
    ULONG refusedThrottlingFlags = 0;
    ULONG throttlingControl = 0;            // what SetProcessInformation holds the process to

    // Messages from outside the thread: sent ones wait until the thread reads its messages,
    // posted ones and input until they are taken from the queue.
    struct PendingSend {
        UINT message;
        WPARAM wParam;
        std::vector<std::uint8_t> record;   // what lParam points at
        std::shared_ptr<SentMessage> sent;
    };
    std::list<PendingSend> pendingSends;
    std::list<MSG> queue;
    std::vector<HWND> needsPaint;
    int dispatchDepth = 0;                  // messages of the dialog being handled, one inside the other
    EXECUTION_STATE executionState = ES_CONTINUOUS;
    std::wstring shutdownBlockReason;
    bool shutdownBlocked = false;

    struct GdiObject {
        enum Kind { DeviceContext, Bitmap, Brush } kind = DeviceContext;
        LONG width = 0, height = 0;         // bitmaps
        HGDIOBJ selected = nullptr;         // device contexts
        COLORREF color = 0;                 // brushes
        DeviceContextState dc;
    };
    std::map<void*, GdiObject> gdiObjects;
    std::vector<BltCall> bltCalls;
    bool bitmapInfoFails = false;
};

extern const GUID hidClassGuid;

State& state();
void* newHandleValue();
bool isPresent(const HidInterface& device);
std::string narrow(const std::wstring& text);
std::string journalName(const Window& window);
Window* findWindow(HWND handle);
// What the dialog's own loop does with a message it takes from the queue: a click on a button
// presses it, Escape and the close box close. Everything else is left to the default handling.
void actOnQueuedMessage(const MSG& message);
// The messages sent from outside, each answered as the dialog manager answers: the dialog
// procedure's DWLP_MSGRESULT when it handled the message, else the default.
void deliverPendingSends();
// The dialog's loop after a message was handled: sent messages, then the queue in order.
void runDialogLoop();
void fail(DWORD error);
// Virtual time passes: one wait, joined to the wait journalled just before it.
void passTime(DWORD ms);
// Ends a pending transfer with this error (0: success) and signals its event.
void completeIo(OVERLAPPED* overlapped, DWORD error, DWORD moved);
// Transfers pending on the device end as an unplugged device's do.
void failPendingIoOf(const HidInterface& device);                     // SetLastError, for the double's failure paths

}
