// Units plugged in and pulled out while the window is open.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "classification.h"

// Handles WM_DEVICECHANGE: TRUE for an arrival or a removal, whatever came of it; FALSE for
// every other event, so that the system's default handling applies.
// While an update is in progress an arrival or removal is kept instead, and answered TRUE.
BOOL onDeviceChange(WPARAM event, LPARAM broadcast);

// Posted to the main window when a change was kept outside an update: it acts on the kept
// changes once the exchange under way has ended and the dialog's loop reads its queue.
constexpr UINT WM_ACT_ON_KEPT_CHANGES = WM_APP + 1;

// Acts on the kept changes in the order they came, once the update and any exchange have ended;
// called while either still runs, it leaves them kept.
void actOnKeptDeviceChanges();

// The held unit's lead went to another controller, found just before an update: the new one is
// shown as its arrival would show it. The window showed the controller taken off until then, so
// Update goes off first, the panel is rebuilt whatever the outcome, and a controller that is only
// recognised leaves the hint box empty, as dialog start does.
void showChangedController(ClassificationOutcome outcome);
