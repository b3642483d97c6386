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
    // The taskbar's "Close window" posts the close box's command.
    discard(WM_SYSCOMMAND, WM_SYSCOMMAND);
    discard(WM_CLOSE, WM_CLOSE);
}

}

bool updateInProgress()
{
    return inProgress;
}

void beginUpdateInProgress()
{
    inProgress = true;
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
    ShutdownBlockReasonDestroy(mainWindow);
    SetThreadExecutionState(ES_CONTINUOUS);
    inProgress = false;
}
