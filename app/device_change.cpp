#include "device_change.h"

#include "app_state.h"
#include "classification.h"
#include "connected_unit.h"
#include "discovery.h"
#include "hint_box.h"
#include "resource.h"
#include "unit_outcome.h"
#include "version_panel.h"

#include <cstddef>

namespace {

// Interface paths are compared as Windows compares them here: A to Z match a to z, every other
// character must be equal. The broadcast's path is read no further than the broadcast reaches.
bool isHeldUnitPath(const DEV_BROADCAST_DEVICEINTERFACE_W& broadcast)
{
    constexpr std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (broadcast.dbcc_size <= nameOffset)
        return false;
    std::size_t available = (broadcast.dbcc_size - nameOffset) / sizeof(WCHAR);
    const WCHAR* held = ConnectedUnit.devicePath;
    for (std::size_t i = 0; i < available; ++i) {
        WCHAR a = broadcast.dbcc_name[i];
        WCHAR b = held[i];
        if (a >= L'A' && a <= L'Z')
            a = static_cast<WCHAR>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z')
            b = static_cast<WCHAR>(b - L'A' + L'a');
        if (a != b)
            return false;
        if (a == L'\0')
            return true;
    }
    return false;                           // the broadcast's path ended without its terminator
}

void onArrival()
{
    if (ConnectedUnit.handle != INVALID_HANDLE_VALUE)
        return;                             // an arrival never disturbs a held unit
    // The broadcast's path is not used: the first unit present is the one taken.
    switch (classifyDevice(openDevice())) {
    case ClassificationOutcome::NoUnit:
        // Nothing is shown; a unit that failed identification is not kept invisibly.
        closeDevice();
        break;
    case ClassificationOutcome::WrongMode: dropUnit(IDS_HINT_WRONG_MODE); break;
    case ClassificationOutcome::NoController: dropUnit(IDS_HINT_NO_CONTROLLER); break;
    case ClassificationOutcome::Accepted:
        setHint(IDS_HINT_READY);
        refreshVersionPanel();
        enableUpdate(TRUE);
        break;
    case ClassificationOutcome::RecognisedOnly: break;
    case ClassificationOutcome::Incompatible: rejectIncompatible(); break;
    }
}

void onRemoval(const DEV_BROADCAST_DEVICEINTERFACE_W& broadcast)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE || !isHeldUnitPath(broadcast))
        return;                             // the removal of any other device is ignored
    closeDevice();
    enableUpdate(FALSE);
    refreshVersionPanel();
    showHint(IDS_HINT_CONNECTION_LOST);
}

}

BOOL onDeviceChange(WPARAM event, LPARAM broadcast)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return FALSE;                       // the system's default handling applies
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(broadcast);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return TRUE;
    const auto& deviceInterface = *reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(broadcast);
    if (event == DBT_DEVICEARRIVAL)
        onArrival();
    else
        onRemoval(deviceInterface);
    return TRUE;
}
