#include "update_in_progress.h"

#include "app_state.h"
#include "messages.h"
#include "resource.h"

namespace {

bool inProgress = false;

// Bounds each sweep of the queue: a flood of input cannot hold the update's end.
constexpr int discardLimit = 1000;

void discard(UINT first, UINT last)
{
    MSG message;
    for (int i = 0; i < discardLimit && PeekMessageW(&message, nullptr, first, last, PM_REMOVE); ++i) {
    }
}

// Each sweep also runs what was sent to the window meanwhile, which is why it happens while the
// update still counts as in progress: a device change is kept, a shutdown still refused.
void discardQueuedInput()
{
    discard(WM_KEYFIRST, WM_KEYLAST);
    discard(WM_MOUSEFIRST, WM_MOUSELAST);
    discard(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK);    // the title bar and its close box
    // Touch and pen come as pointer messages, on the title bar too, before any mouse message.
    discard(WM_NCPOINTERUPDATE, WM_NCPOINTERUP);
    discard(WM_POINTERUPDATE, WM_POINTERHWHEEL);
    // The taskbar's "Close window" posts the close box's command.
    discard(WM_SYSCOMMAND, WM_SYSCOMMAND);
    discard(WM_CLOSE, WM_CLOSE);
}

// Update, Close and the system menu's Close (the close box with it): a disabled control ignores
// clicks, touch, pen and accessibility tools alike.
void enableWindowControls(BOOL enable)
{
    if (!enable)
        EnableWindow(GetDlgItem(mainWindow, IDC_UPDATE), FALSE);
    EnableWindow(GetDlgItem(mainWindow, IDC_CLOSE), enable);
    EnableMenuItem(GetSystemMenu(mainWindow, FALSE), SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

}

bool updateInProgress()
{
    return inProgress;
}

void beginUpdateInProgress()
{
    inProgress = true;
    enableWindowControls(FALSE);
    // HID traffic is no activity to the power manager: without this the PC may sleep mid-transfer.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    // With WM_QUERYENDSESSION refused, Windows names the program and this reason in its shutdown screen.
    WCHAR reason[messageBufferSize];
    loadMessage(IDS_PROGRESS_TITLE, reason);
    ShutdownBlockReasonCreate(mainWindow, reason);
}

void endUpdateInProgress()
{
    discardQueuedInput();
    enableWindowControls(TRUE);             // Update stays greyed: the result decides it
    ShutdownBlockReasonDestroy(mainWindow);
    SetThreadExecutionState(ES_CONTINUOUS);
    inProgress = false;
}
