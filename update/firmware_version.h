// The firmware this updater carries: high byte major, low byte minor.
#pragma once

#include <windows.h>

constexpr WORD carriedFirmwareVersion = 0x0112;     // 1.18
