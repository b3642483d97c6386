// The main window's globals and the sizes of its text buffers.
#pragma once

#include <windows.h>
#include <dbt.h>

extern HINSTANCE appInstance;               // source of every resource
extern HWND mainWindow;                     // the main dialog; owner of every message box
extern HDEVNOTIFY deviceNotification;       // HID interface notifications; released at Close

constexpr UINT messageBufferSize = 2048;    // characters, terminator included
constexpr UINT titleBufferSize = 256;
constexpr UINT versionTextSize = 32;
