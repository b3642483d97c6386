// user32 and kernel32: the thread's messages from outside (sent, posted, input, painting), and
// what a program tells Windows about shutdown and sleep.
#include "state.h"

#include <algorithm>

using win32double::Window;
using win32double::detail::state;

namespace {

bool inRange(UINT message, UINT first, UINT last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

// The default handling of a message the dialog procedure left alone.
LRESULT defaultAnswer(UINT message)
{
    switch (message) {
    case WM_QUERYENDSESSION: return TRUE;   // the session may end
    case WM_CLOSE: win32double::pressEscape(); return 0;
    default: return 0;
    }
}

constexpr UINT queuedPaint = 0x0020;        // QS_PAINT, among the PM_QS_ kinds of a peek

bool paintTaken(MSG* message, UINT first, UINT last, UINT flags)
{
    UINT kinds = flags >> 16;
    if (state().needsPaint.empty() || !inRange(WM_PAINT, first, last) || (kinds != 0 && (kinds & queuedPaint) == 0))
        return false;
    *message = MSG{state().needsPaint.front(), WM_PAINT, 0, 0, 0, {}};
    return true;                            // WM_PAINT stays until the window is painted
}

}

namespace win32double {

std::shared_ptr<const SentMessage> sendFromOutside(UINT message, WPARAM wParam, std::vector<std::uint8_t> record)
{
    auto sent = std::make_shared<SentMessage>();
    sent->message = message;
    sent->sentAtMs = state().nowMs;
    state().pendingSends.push_back({message, wParam, std::move(record), sent});
    return sent;
}

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    state().queue.push_back(MSG{window, message, wParam, lParam, 0, {}});
}

std::size_t queuedMessages()
{
    return state().queue.size();
}

void invalidate(HWND window)
{
    if (!needsPaint(window))
        state().needsPaint.push_back(window);
}

bool needsPaint(HWND window)
{
    const auto& windows = state().needsPaint;
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

EXECUTION_STATE executionState()
{
    return state().executionState;
}

std::wstring shutdownBlockReason()
{
    return state().shutdownBlockReason;
}

namespace detail {

void deliverPendingSends()
{
    while (!state().pendingSends.empty()) {
        State::PendingSend pending = std::move(state().pendingSends.front());
        state().pendingSends.pop_front();
        Window* dialog = const_cast<Window*>(lastDialog());
        if (dialog == nullptr || dialog->ended || dialog->destroyed)
            continue;
        LPARAM lParam = pending.record.empty() ? 0 : reinterpret_cast<LPARAM>(pending.record.data());
        dialog->messageResult = 0;
        INT_PTR handled = dialog->dialogProc(dialog->handle, pending.message, pending.wParam, lParam);
        pending.sent->answer = handled ? dialog->messageResult : defaultAnswer(pending.message);
        pending.sent->answered = true;
        pending.sent->answeredAtMs = state().nowMs;
    }
}

void actOnQueuedMessage(const MSG& message)
{
    const Window* target = findWindow(message.hwnd);
    if (target == nullptr || target->destroyed)
        return;
    switch (message.message) {
    case WM_LBUTTONUP:                      // a click ends when the button is let go
        if (target->className == L"Button")
            pressButton(target->id);
        break;
    case WM_KEYDOWN:
        if (message.wParam == VK_ESCAPE)
            pressEscape();
        break;
    case WM_NCLBUTTONDOWN:
        if (message.wParam == HTCLOSE)
            clickCloseBox();
        break;
    case WM_SYSCOMMAND:
        if ((message.wParam & 0xFFF0) == SC_CLOSE)
            clickCloseBox();
        break;
    case WM_CLOSE: clickCloseBox(); break;
    case WM_PAINT: sendToDialog(WM_PAINT, 0, 0); break;
    default:
        if (message.message >= WM_APP && target->dialogProc != nullptr)
            target->dialogProc(target->handle, message.message, message.wParam, message.lParam);
        break;
    }
}

void runDialogLoop()
{
    ++state().dispatchDepth;                // what the loop dispatches runs no loop of its own
    deliverPendingSends();
    while (!state().queue.empty()) {
        MSG message = state().queue.front();
        state().queue.pop_front();
        const Window* dialog = lastDialog();
        if (dialog == nullptr || dialog->ended || dialog->destroyed)
            break;
        actOnQueuedMessage(message);
    }
    --state().dispatchDepth;
}

}
}

extern "C" {

BOOL WINAPI PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    UINT kinds = wRemoveMsg >> 16;
    if (kinds == 0 || (kinds & QS_SENDMESSAGE) != 0)
        win32double::detail::deliverPendingSends();
    if (kinds != 0 && (kinds & ~QS_SENDMESSAGE) == 0)
        return FALSE;                       // sent messages only
    auto& queue = state().queue;
    for (auto at = queue.begin(); at != queue.end(); ++at) {
        if (!inRange(at->message, wMsgFilterMin, wMsgFilterMax) || (hWnd != nullptr && at->hwnd != hWnd))
            continue;
        *lpMsg = *at;
        if (wRemoveMsg & PM_REMOVE)
            queue.erase(at);
        return TRUE;
    }
    return paintTaken(lpMsg, wMsgFilterMin, wMsgFilterMax, wRemoveMsg) ? TRUE : FALSE;
}

// Painting is validated as the window procedures validate it; anything else is acted on as the
// dialog's loop would, so a product that dispatched input would be seen doing so.
LRESULT WINAPI DispatchMessageW(const MSG* lpMsg)
{
    auto& windows = state().needsPaint;
    if (lpMsg->message == WM_PAINT) {
        const Window* dialog = win32double::lastDialog();
        if (dialog != nullptr && dialog->handle == lpMsg->hwnd && !dialog->destroyed)
            dialog->dialogProc(dialog->handle, WM_PAINT, 0, 0);
        windows.erase(std::remove(windows.begin(), windows.end(), lpMsg->hwnd), windows.end());
        return 0;
    }
    win32double::detail::actOnQueuedMessage(*lpMsg);
    return 0;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (win32double::detail::findWindow(hWnd) == nullptr)
        return FALSE;
    state().journal.push_back("PostMessageW " + std::to_string(Msg));
    win32double::post(hWnd, Msg, wParam, lParam);
    return TRUE;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    Window* window = win32double::detail::findWindow(hWnd);
    if (window == nullptr || window->dialogProc == nullptr || nIndex != DWLP_MSGRESULT)
        return 0;
    LONG_PTR previous = window->messageResult;
    window->messageResult = dwNewLong;
    return previous;
}

BOOL WINAPI ShutdownBlockReasonCreate(HWND hWnd, LPCWSTR pwszReason)
{
    Window* window = win32double::detail::findWindow(hWnd);
    if (window == nullptr || pwszReason == nullptr)
        return FALSE;
    state().shutdownBlocked = true;
    state().shutdownBlockReason = pwszReason;
    state().journal.push_back("ShutdownBlockReasonCreate " + win32double::detail::journalName(*window));
    return TRUE;
}

BOOL WINAPI ShutdownBlockReasonDestroy(HWND hWnd)
{
    Window* window = win32double::detail::findWindow(hWnd);
    if (window == nullptr)
        return FALSE;
    if (!state().shutdownBlocked)
        ++state().invalidReleases;
    state().shutdownBlocked = false;
    state().shutdownBlockReason.clear();
    state().journal.push_back("ShutdownBlockReasonDestroy " + win32double::detail::journalName(*window));
    return TRUE;
}

}
