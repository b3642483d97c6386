// The double's shared state, for its own sources only.
#pragma once

#include "win32_double.h"

#include <list>
#include <map>

namespace win32double::detail {

struct FileHandle {
    HidInterface* device;
    bool overlapped;
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
    bool ghostingDisabled = false;
    HWND foreground = nullptr;
    std::function<void(const MessageBoxCall&)> messageBoxAction;
    DWORD nextSleepShortfall = 0;
    std::function<void(std::size_t)> sleepAction;
    int timerPeriods = 0;

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
void fail(DWORD error);                     // SetLastError, for the double's failure paths

}
