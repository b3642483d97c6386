// The Windows headers the link uses, in one place.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <strsafe.h>

// MinGW's hidsdi.h and hidpi.h declare hid.dll's functions without extern "C";
// unwrapped, C++ would look for mangled names that hid.dll does not export.
extern "C" {
#include <hidsdi.h>
}
