// Units plugged in and pulled out while the window is open.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "classification.h"

// Handles WM_DEVICECHANGE: TRUE for an arrival or a removal, whatever came of it; FALSE for
// every other event, so that the system's default handling applies.
// While an update is in progress an arrival or removal is kept instead, and answered TRUE.
BOOL onDeviceChange(WPARAM event, LPARAM broadcast);

// Acts on the kept changes in the order they came, once the update has ended.
void actOnKeptDeviceChanges();

// The held unit's lead went to another controller, found just before an update: the new one is
// shown as its arrival would show it. The window showed the controller taken off until then, so
// Update goes off first, the panel is rebuilt whatever the outcome, and a controller that is only
// recognised leaves the hint box empty, as dialog start does.
void showChangedController(ClassificationOutcome outcome);
