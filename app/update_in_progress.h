// The stretch from the first command an update sends to the unit until its result is shown.
// Meanwhile the window answers (update/pacing.h), but nothing may cut the update short: not a
// command, not a shutdown, not sleep, not a device change.
#pragma once

#include <windows.h>

// True between beginUpdateInProgress and endUpdateInProgress.
bool updateInProgress();

// Greys Update, Close and the system menu's Close, holds off a shutdown, naming the update as
// the reason, and keeps the PC awake. From now on commands do nothing and device changes are
// kept (device_change.h).
void beginUpdateInProgress();

// Throws away the clicks, keys, touch and pen queued meanwhile, so that none acts on the result,
// gives Close back (Update stays greyed, as every result leaves it), then lets shutdown and
// sleep come again. Device changes are kept until actOnKeptDeviceChanges.
void endUpdateInProgress();
