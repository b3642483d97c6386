// The test side of the Win32 test double: what is plugged in, what the product left open,
// the virtual clock and the journal of calls whose order matters.
#pragma once

#include <windows.h>

#include "simulated_unit.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32double {

// One HID device interface on the simulated bus.
struct HidInterface {
    std::wstring path;
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT versionNumber = 0x0100;
    USHORT inputReportLength = 0;           // capabilities, report ID included
    USHORT outputReportLength = 0;
    bool present = true;                    // false once detached (a unit: once unplugged)
    bool openable = true;                   // false: read-write access is refused, as for keyboards and mice
    bool detailFails = false;               // the detail record cannot be read (the size query still answers)
    std::optional<DWORD> reportedDetailSize;// the size query answers this instead of the true size
    bool attributesFail = false;
    bool preparsedDataFails = false;
    bool capsFail = false;
    std::shared_ptr<sim::SimulatedUnit> unit; // null: a HID device that is not a programming unit
    std::shared_ptr<struct ScriptedPeer> scripted;  // instead of a unit: replies from a script
    bool writesHang = false;                // an overlapped write never completes: the unit takes nothing
    DWORD shortReads = 0;                   // a read reports this many bytes fewer than the report
    std::vector<std::uint8_t> replyAsCancelled;   // a pending read completes with it as it is cancelled
};

// A device that answers from a script instead of a simulated unit, as the fuzzer's bytes do.
// write: false when the request must fail; read: fills the reply, or false when it must fail.
struct ScriptedPeer {
    std::function<bool(const std::uint8_t* request, std::size_t length)> write;
    std::function<bool(std::uint8_t* reply, std::size_t length)> read;
};

// A clean double: nothing plugged in, nothing open, clock at zero, empty journal.
// Memory the product leaked is released here, after the test has had the chance to see it.
void reset();

// Adds an interface at the end of the enumeration order.
HidInterface& addHidDevice(HidInterface device);
// A simulated programming unit behind a new interface whose IDs and capabilities are its own.
HidInterface& attachUnit(const sim::UnitIdentity& identity = {});
// The interface disappears: handles on it fail as an unplugged device's do.
void detach(HidInterface& device);

// The path the bus gives its nth interface: "\\?\hid#vid_xxxx&pid_xxxx#...#{hid class guid}".
std::wstring interfacePath(USHORT vendorId, USHORT productId, unsigned serial);

// Failure switches.
void failDeviceInfoList();                  // SetupDiGetClassDevsW returns INVALID_HANDLE_VALUE
void failHeapAllocation(unsigned nth);      // the nth HeapAlloc from now fails, counting from 1

struct OpenCounts {
    std::size_t fileHandles = 0;
    std::size_t deviceInfoLists = 0;
    std::size_t preparsedData = 0;
    std::size_t heapBlocks = 0;
    std::size_t notificationRegistrations = 0;
    std::size_t gdiObjects = 0;             // device contexts, bitmaps and brushes
    std::size_t timerPeriods = 0;           // timeBeginPeriod calls without their timeEndPeriod
    std::size_t invalidReleases = 0;        // frees and closes of things never handed out, or twice
    std::size_t windows = 0;                // windows created and not destroyed, the dialog's included
    std::size_t mutexes = 0;
    std::size_t shutdownBlocks = 0;         // ShutdownBlockReasonCreate without its Destroy
    std::size_t systemKeptAwake = 0;        // 1 while ES_SYSTEM_REQUIRED stays in force
    std::size_t waitObjects = 0;            // events and waitable timers
    std::size_t pendingTransfers = 0;       // overlapped transfers not completed
    std::size_t endlessWaits = 0;           // waits that nothing could end: a real thread would hang
    std::size_t throttlingOptOuts = 0;      // 1 while the process holds power throttling off
    bool operator==(const OpenCounts&) const = default;
};
OpenCounts openCounts();

struct CreateFileCall {
    std::wstring path;
    DWORD access;
    DWORD share;
    DWORD creation;
    DWORD flags;
    bool opened;
};
const std::vector<CreateFileCall>& createFileCalls();
DWORD lastClassDevsFlags();

// Virtual time: Sleep advances the clock and is recorded; nothing waits. QueryPerformanceCounter
// reads the same clock in microseconds. Sleeps that follow each other with nothing journalled
// between them are one wait, recorded as the time that passed: a wait the product takes in
// slices is one wait of its whole length, in sleeps() and in the journal alike.
std::uint64_t nowMs();
const std::vector<DWORD>& sleeps();
void shortenNextSleep(DWORD ms);            // the next Sleep, time-out or timer ends this much early
// Runs at the end of every Sleep with the number of waits so far: the user acting meanwhile.
void whileSleeping(std::function<void(std::size_t sleeps)> action);

// Waits on the virtual clock. MsgWaitForMultipleObjectsEx lets time pass only up to its
// time-out, a waitable timer's due time among its handles or a moment given to at(), and returns
// at once for a signalled handle, a message sent from outside or a window to paint. Overlapped
// transfers complete at once, except a read after a request the unit will never answer and a
// write to a device whose writes hang: those end only when cancelled or when the device goes.
void at(std::uint64_t ms, std::function<void()> action);    // runs once the clock reaches ms
void refuseHighResolutionTimer();           // CreateWaitableTimerExW refuses the flag, as before Windows 10 1803
void withoutProcessInformation();           // kernel32 has no SetProcessInformation, as on Windows 7
void refuseThrottlingFlag(ULONG flag);      // SetProcessInformation refuses a control mask with it
ULONG throttlingControl();                  // the control mask in force

// GDI: what was drawn, and the state of a device context.
struct BltCall {
    std::string function;                   // "StretchBlt" or "TransparentBlt"
    int x, y, width, height;
    int sourceX, sourceY, sourceWidth, sourceHeight;
    UINT transparent;                       // TransparentBlt's key colour
    LONG sourceBitmapWidth, sourceBitmapHeight;
    int stretchMode;                        // of the source DC for TransparentBlt, of the target for StretchBlt
};
const std::vector<BltCall>& bltCalls();
struct DeviceContextState {
    COLORREF textColor = 0;
    int backgroundMode = 2;                 // OPAQUE
    int stretchMode = 1;                    // BLACKONWHITE
};
DeviceContextState deviceContextState(HDC dc);
std::optional<COLORREF> brushColor(HBRUSH brush);    // none: not a brush, or deleted
// GetSysColor(COLOR_BTNFACE): the dialog's background.
constexpr COLORREF buttonFaceColor = 0x00F0F0F0;
void failBitmapInfo();                      // GetObjectW cannot read a bitmap from now on

// The resources windres compiled for the updater, read from its .res file once.
// A string-table block is also kept widened to WCHAR units: the product walks blocks as WCHARs.
struct Resource {
    WORD typeId = 0;                        // 0: the type has a name instead
    std::u16string typeName;
    WORD nameId = 0;                        // 0: the resource has a name instead
    std::u16string name;
    WORD language = 0;
    std::vector<std::uint8_t> data;         // as stored
    std::vector<WCHAR> wide;                // RT_STRING only: data as WCHAR units
};
const std::vector<Resource>& resources();
HINSTANCE moduleInstance();                 // the module the resources belong to
void setUserInterfaceLanguage(LANGID language);   // reset() restores 0x0409

// Dialog templates as the dialog manager reads them: the extended form, with each name or
// class either an ordinal (0xFFFF, then the value) or a string.
struct TemplateName {
    WORD ordinal = 0;                       // 0 with an empty name: none
    std::wstring name;
};
struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    TemplateName windowClass;
    TemplateName title;
    WORD creationDataSize = 0;
};
struct DialogTemplate {
    WORD version = 0;
    WORD signature = 0;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu;
    TemplateName windowClass;
    std::wstring caption;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring font;
    std::vector<DialogItemTemplate> items;
    std::size_t size = 0;                   // bytes read, the last item's padding included
};
// Throws std::out_of_range when the template runs past size bytes.
DialogTemplate parseDialogTemplate(const void* bytes, std::size_t size);

// The headless window model. Windows are kept, destroyed or not, until reset().
struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;
    HWND owner = nullptr;                   // top-level windows only
    int id = 0;
    std::wstring className;
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool enabled = true;
    bool visible = false;
    bool everShown = false;
    bool destroyed = false;
    LONG_PTR classIcon = 0;
    DLGPROC dialogProc = nullptr;           // dialogs only
    bool ended = false;
    INT_PTR result = 0;
    RECT rect = {};                         // screen coordinates, as GetWindowRect gives them
    std::vector<UINT> progressPositions;    // PBM_SETPOS, in order
    bool foreign = false;                   // another program's window, never the product's to release
    LONG_PTR messageResult = 0;             // DWLP_MSGRESULT, dialogs only
    bool systemCloseGreyed = false;         // the system menu's Close, and with it the close box
};
const Window* findWindow(HWND handle);
const Window* lastDialog();                 // the dialog created last, or null
const Window* control(int id);              // a control of the last dialog, or null
const Window* topLevelWindow(const std::wstring& className);    // the last one of that class, or null
void setWindowRect(HWND window, RECT rect);
void setForegroundWindow(HWND window);      // what GetForegroundWindow answers from now on

// Messages from outside the product's thread. A message another program or the system sends
// (a device change, a shutdown's question, WM_CLOSE from End task) waits until the thread reads
// its messages: in PeekMessageW, or in the dialog's loop once the message it handles returns.
struct SentMessage {
    UINT message = 0;
    bool answered = false;
    LRESULT answer = 0;
    std::uint64_t sentAtMs = 0;
    std::uint64_t answeredAtMs = 0;
};
// To the dialog; lParam points at a copy of record, or is 0 when record is empty.
std::shared_ptr<const SentMessage> sendFromOutside(UINT message, WPARAM wParam, std::vector<std::uint8_t> record = {});
// Input and posted messages, queued until the thread takes them: a user's click on a control is
// WM_LBUTTONDOWN and WM_LBUTTONUP to it, Escape is WM_KEYDOWN to the dialog, the close box
// WM_NCLBUTTONDOWN with HTCLOSE, the taskbar's Close window WM_SYSCOMMAND with SC_CLOSE. The
// dialog's loop acts on them once the message it handles returns.
void post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::size_t queuedMessages();
// The window needs painting: PeekMessageW offers WM_PAINT for it until it is painted.
void invalidate(HWND window);
bool needsPaint(HWND window);
// What SetThreadExecutionState was last told (ES_CONTINUOUS at start), and the reason a shutdown
// is held off for (empty: none).
EXECUTION_STATE executionState();
std::wstring shutdownBlockReason();

// Another updater already runs and holds its lock under this name. In this logon session its
// main dialog, returned, has the updater's title; in another session its lock cannot be opened
// and there is no window to find (null is returned).
HWND runAnotherUpdater(const std::wstring& lockName, bool otherSession = false);
const std::vector<std::wstring>& mutexNames();     // every name CreateMutexW was asked for
// A dialog starts at (100, 100), 600 x 480 pixels; controls are placed by their dialog units.
// The frame is 3 pixels wide and the caption 19 high (GetSystemMetrics).
constexpr int dialogFrameWidth = 3;
constexpr int captionHeight = 19;
std::wstring controlText(int id);
bool controlEnabled(int id);

// What the user does while the modal dialog runs. Without a script, or when the script returns
// with the dialog still open, the double ends the dialog with -1 and notes that it was left running.
void whileDialogRuns(std::function<void(HWND dialog)> script);
bool dialogLeftRunning();
INT_PTR sendToDialog(UINT message, WPARAM wParam, LPARAM lParam);
bool pressButton(int id);                   // false when the button is missing, disabled or hidden
void pressEscape();                         // the dialog manager's cancel command
void clickCloseBox();                       // WM_CLOSE; unhandled, it becomes the cancel command

struct MessageBoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
    int answer;
};
const std::vector<MessageBoxCall>& messageBoxes();
// Answers for the next boxes, in order; after them every box gets its first button (IDOK, IDYES).
void answerMessageBoxes(std::vector<int> answers);
// Runs inside every box's modal loop before it is answered, as a device notification would.
void whileMessageBoxShown(std::function<void(const MessageBoxCall&)> action);

struct NotificationRegistration {
    HANDLE recipient;
    DWORD size;
    DWORD deviceType;
    GUID classGuid;
    DWORD flags;
    bool open;
};
const std::vector<NotificationRegistration>& notificationRegistrations();
void failNotificationRegistration();
bool commonControlsInitialised();

// Calls whose order matters, one line each: "WriteFile <command code> 60" ("WriteFile 0x1b 60"),
// "ReadFile 60", a failed one with " failed" added, "Sleep 1000",
// "CreateFileW <path>", "CloseHandle <path>", "SetupDiDestroyDeviceInfoList",
// "SetWindowTextW <control id>", "EnableWindow <control id> <0|1>", "MessageBoxW",
// "RegisterDeviceNotificationW", "UnregisterDeviceNotification", "EndDialog <result>",
// "CreateWindowExW <class>", "DestroyWindow <name>", "SetWindowPos <name>" (" after <handle>" added
// for any place but the top), "ShowWindow <name> <command>",
// "timeBeginPeriod <ms>", "timeEndPeriod <ms>", "ReadFile 60 pending" and "WriteFile <code> 60 pending"
// for transfers that do not complete at once, "CancelIoEx", "CreateWaitableTimerExW 0x<flags>"
// (" failed" added when refused), "SetProcessInformation 0x<control mask> 0x<state mask>", "SetThreadExecutionState 0x<8 hex digits>",
// "ShutdownBlockReasonCreate <name>", "ShutdownBlockReasonDestroy <name>", "PostMessageW <message>",
// "EnableMenuItem <name> 0x<item> 0x<flags>" for a window's system menu; a window's name is "dialog", its control ID, or
// the class of another top-level window.
const std::vector<std::string>& journal();

}
