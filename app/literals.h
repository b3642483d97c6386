// The few texts that are the same in every language and never come from the string table.
#pragma once

#include <windows.h>

// The controllers this updater serves: in the title and in the incompatibility message.
constexpr const WCHAR* modelString = L"ZEFRAN HVI";

// Formatted with the model string, the carried version's major and minor, and an empty
// string, so the title ends in one blank after the version.
constexpr const WCHAR* titleFormat = L"BRELVANT %s FW Updater %u.%u %s";

constexpr const WCHAR* versionLeadFormat = L"%u.";
constexpr const WCHAR* versionFormat = L"%u.%u";
constexpr const WCHAR* noVersionText = L"0.0.0";
constexpr const WCHAR* noFirmwareText = L"----------";
constexpr const WCHAR* orbipadName = L"ORBIPAD";
constexpr const WCHAR* benchBoxName = L"BENCH-BOX";
constexpr const WCHAR* hintSeparator = L"\r\n\r\n";
