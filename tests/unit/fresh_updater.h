// A clean double and the updater's globals as they are when the program starts: every test of
// the whole updater, and every fuzz run, begins here.
#pragma once

#include "app_state.h"
#include "classification.h"
#include "connected_unit.h"
#include "win32_double.h"

inline void startFresh()
{
    win32double::reset();
    initConnectedUnit();
    UpdateTarget = {};
    mainWindow = nullptr;
    deviceNotification = nullptr;
    appInstance = nullptr;
}
