// Whether the updater holds a unit open. hidclass answers the opens itself, so the driver never
// sees them, and Wine does not enforce sharing on a device's files, so an exclusive open is not
// refused either. Wine's handle table is visible, though: each handle the updater holds is
// duplicated into the host and compared by object name with a handle of the host's own on the
// unit's HID interface.
#pragma once

#include <string>

namespace host {

// Handles open on the unit's HID interface in processes running zefran-hvi-updater.exe; -1 with
// the reason in error when they cannot be counted (no updater running, a handle that cannot be
// duplicated, a handle table that cannot be read): never a 0 that was not measured.
int updaterHandlesOn(const std::wstring& instanceId, std::string& error);

}
