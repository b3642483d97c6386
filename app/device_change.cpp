#include "device_change.h"

#include "app_state.h"
#include "classification.h"
#include "connected_unit.h"
#include "discovery.h"
#include "exchange.h"
#include "hint_box.h"
#include "resource.h"
#include "unit_outcome.h"
#include "update_in_progress.h"
#include "version_panel.h"

#include <cstddef>
#include <iterator>

namespace {

// Device changes that come while an update is in progress wait here, in the order they came.
// Consecutive arrivals are one: each runs the same enumeration of what is present.
struct KeptDeviceChange {
    WPARAM event;
    WCHAR path[512];                        // empty when the broadcast's path did not fit: it matches no unit
};
constexpr std::size_t keptChangeLimit = 32; // far more than hands plug and pull during one update
KeptDeviceChange keptChanges[keptChangeLimit];
std::size_t keptCount = 0;
std::size_t nextToAct = 0;
bool actingOnKept = false;

constexpr std::size_t pathOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);

// The characters the broadcast's path may hold: it is read no further than the broadcast reaches.
std::size_t pathRoom(const DEV_BROADCAST_DEVICEINTERFACE_W& broadcast)
{
    return broadcast.dbcc_size <= pathOffset ? 0 : (broadcast.dbcc_size - pathOffset) / sizeof(WCHAR);
}

// Interface paths are compared as Windows compares them here: A to Z match a to z, every other
// character must be equal. A path without its terminator within room matches nothing.
bool isHeldUnitPath(const WCHAR* path, std::size_t room)
{
    const WCHAR* held = ConnectedUnit.devicePath;
    for (std::size_t i = 0; i < room; ++i) {
        WCHAR a = path[i];
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
    return false;
}

void keep(WPARAM event, const DEV_BROADCAST_DEVICEINTERFACE_W& broadcast)
{
    bool lastWaitingIsArrival = keptCount > nextToAct && keptChanges[keptCount - 1].event == DBT_DEVICEARRIVAL;
    if ((event == DBT_DEVICEARRIVAL && lastWaitingIsArrival) || keptCount == keptChangeLimit)
        return;
    KeptDeviceChange& kept = keptChanges[keptCount++];
    kept.event = event;
    kept.path[0] = L'\0';
    std::size_t room = pathRoom(broadcast);
    for (std::size_t i = 0; i < room && i < std::size(kept.path); ++i) {
        kept.path[i] = broadcast.dbcc_name[i];
        if (broadcast.dbcc_name[i] == L'\0')
            return;
    }
    kept.path[0] = L'\0';                  // no terminator within reach
}

void showArrival(ClassificationOutcome outcome)
{
    switch (outcome) {
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

void onArrival()
{
    if (ConnectedUnit.handle != INVALID_HANDLE_VALUE)
        return;                             // an arrival never disturbs a held unit
    // The broadcast's path is not used: the first unit present is the one taken.
    showArrival(classifyDevice(openDevice()));
}

void onRemoval(const WCHAR* path, std::size_t room)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE || !isHeldUnitPath(path, room))
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
    // During an update a change waits for its end: the unit is not dropped or swapped under it.
    // A unit pulled out still fails the next exchange. So does a change that comes while an
    // exchange waits (identification at start-up or on an arrival): the window's own loop acts
    // on it afterwards. Changes that come while kept ones are acted on wait their turn behind them.
    if (updateInProgress() || actingOnKept || exchangeUnderWay()) {
        keep(event, deviceInterface);
        if (!updateInProgress() && !actingOnKept)
            PostMessageW(mainWindow, WM_ACT_ON_KEPT_CHANGES, 0, 0);
    } else if (event == DBT_DEVICEARRIVAL)
        onArrival();
    else
        onRemoval(deviceInterface.dbcc_name, pathRoom(deviceInterface));
    return TRUE;
}

void actOnKeptDeviceChanges()
{
    if (actingOnKept || updateInProgress() || exchangeUnderWay())
        return;                             // the changes wait for what is under way to end
    actingOnKept = true;
    for (; nextToAct < keptCount; ++nextToAct) {
        const KeptDeviceChange& kept = keptChanges[nextToAct];
        if (kept.event == DBT_DEVICEARRIVAL)
            onArrival();
        else
            onRemoval(kept.path, std::size(kept.path));
    }
    keptCount = 0;
    nextToAct = 0;
    actingOnKept = false;
}

void showChangedController(ClassificationOutcome outcome)
{
    enableUpdate(FALSE);
    if (outcome == ClassificationOutcome::RecognisedOnly)
        clearHint();
    showArrival(outcome);
    if (outcome != ClassificationOutcome::Accepted)
        refreshVersionPanel();              // an accepted one has had its panel rebuilt already
}
