#include "update_procedure.h"

#include "app_state.h"
#include "classification.h"
#include "commands.h"
#include "connected_unit.h"
#include "device_change.h"
#include "failure_report.h"
#include "firmware_version.h"
#include "hint_box.h"
#include "identification.h"
#include "image_catalogue.h"
#include "messages.h"
#include "pacing.h"
#include "progress_window.h"
#include "update_in_progress.h"
#include "resource.h"
#include "result_codes.h"
#include "version_panel.h"

#include <cstring>

namespace {

constexpr WORD noInstalledFirmware = 0xFFFF;
constexpr DWORD fullBlockWords = blockSize / 4;
constexpr BYTE blockPadding = 0xFF;

// The controllers for which this edition always offers its own firmware.
const DWORD carriedFirmwareTypeCodes[] = {0x110FA0FA, 0x110FA0D2, 0x110FA0AA, 0x140FA0FA, 0x140FA0D2, 0x140FA0AA};

struct FirmwareImage {
    const BYTE* data;                       // in place in the program's resources, never copied whole
    DWORD size;
};

struct UpdateFailure {
    UINT textId;
    int code;
    DWORD lastError;
};

void failUpdate(const UpdateFailure& failure)
{
    WCHAR caption[messageBufferSize];
    WCHAR text[messageBufferSize];
    loadMessage(IDS_UPDATE_FAILED_CAPTION, caption);
    loadMessage(failure.textId, text);
    reportUpdateFailure(text, caption, failure.code, failure.lastError);
}

bool confirmed(UINT textId, UINT captionId, UINT flags, int yes)
{
    WCHAR text[messageBufferSize];
    WCHAR caption[messageBufferSize];
    loadMessage(textId, text);
    loadMessage(captionId, caption);
    return MessageBoxW(mainWindow, text, caption, flags) == yes;
}

WORD offeredVersion()
{
    for (DWORD code : carriedFirmwareTypeCodes)
        if (ConnectedUnit.targetIdentity.deviceTypeCode == code)
            UpdateTarget.offeredFirmwareVersion = carriedFirmwareVersion;
    return UpdateTarget.offeredFirmwareVersion;
}

// A box's modal loop handles device changes: the unit held when it closes may be another one,
// with another controller, that the user never confirmed. Its arrival has shown it already.
bool anotherUnitHeld(DWORD confirmedConnection)
{
    return ConnectedUnit.handle != INVALID_HANDLE_VALUE && unitConnection() != confirmedConnection;
}

// Both boxes: consent to the update, and to firmware no newer than the installed one. True only
// when the user agreed and the unit held is still the one the user agreed for; a unit that was
// only pulled out goes on, to fail at the lock without a code line.
bool userConfirmed(WORD& offered)
{
    DWORD connection = unitConnection();
    if (!confirmed(IDS_WARNING_TEXT, IDS_WARNING_CAPTION, MB_OKCANCEL | MB_ICONWARNING, IDOK) ||
        anotherUnitHeld(connection))
        return false;
    offered = offeredVersion();
    WORD installed = ConnectedUnit.targetInfo.escFirmwareVersion;
    if (installed < offered || installed == noInstalledFirmware)
        return true;
    return confirmed(IDS_VERSION_NOT_NEWER_QUESTION, IDS_VERSION_NOT_NEWER_CAPTION, MB_YESNO | MB_ICONWARNING, IDYES) &&
           !anotherUnitHeld(connection);
}

bool loadImage(FirmwareImage& image)
{
    HRSRC found = FindResourceW(appInstance, MAKEINTRESOURCEW(selectImage()), RT_RCDATA);
    if (found == nullptr)
        return false;
    image.size = SizeofResource(appInstance, found);
    image.data = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
    return image.data != nullptr && image.size != 0;
}

bool failed(int result, UINT textId, UpdateFailure& failure)
{
    if (result == resultSuccess)
        return false;
    failure = {textId, result, GetLastError()};
    return true;
}

bool sendBlocks(const FirmwareImage& image, HWND progress, UpdateFailure& failure)
{
    HWND lastRaised = nullptr;
    const BYTE* at = image.data;
    DWORD remaining = image.size;
    while (remaining != 0) {
        int result;
        if (remaining >= blockSize) {
            result = WriteBlock(at, fullBlockWords);
            at += blockSize;
            remaining -= blockSize;
        } else {
            // The last short block goes out padded, announcing only its whole words.
            BYTE scratch[blockSize];
            std::memset(scratch, blockPadding, sizeof scratch);
            std::memcpy(scratch, at, remaining);
            result = WriteBlock(scratch, remaining / 4);
            remaining = 0;
        }
        if (failed(result, IDS_FAIL_WRITE_BLOCK, failure))
            return false;
        setProgress(progress, image.size, remaining);
        raiseOnce(progress, lastRaised);
        pace(blockSettleMs);
    }
    return true;
}

enum class ControllerCheck { Same, Changed, Failed };

// The lead may have gone to another controller since the window showed this one: no device
// change tells of that, so the controller is identified again before the first command that
// writes. A unit pulled out during a box is not asked: the lock fails for it without a code line.
ControllerCheck checkController(UpdateFailure& failure)
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE)
        return ControllerCheck::Same;
    bool changed = false;
    if (failed(identifyAgain(changed), IDS_FAIL_NO_UNIT, failure))
        return ControllerCheck::Failed;
    return changed ? ControllerCheck::Changed : ControllerCheck::Same;
}

// Lock, unprotect, erase, address, blocks: on a failure the unit is left as it is, locked and
// perhaps erased, for the user to try again.
bool sendImage(const FirmwareImage& image, HWND progress, UpdateFailure& failure)
{
    if (failed(SetSystemLock(lockEngage), IDS_FAIL_SYSTEM_LOCK, failure))
        return false;
    pace(lockSettleMs);
    if (failed(SetWriteProtection(protectionLift), IDS_FAIL_WRITE_PROTECTION, failure))
        return false;
    pace(unprotectSettleMs);
    int erased = EraseFirmware(pace);      // its second between request and reply answers too
    if (failed(erased, IDS_FAIL_ERASE, failure)) {
        // The settle follows a failed erase too, but not one the unit never answered: that
        // failure is shown at once.
        if (erased > 0 || failure.lastError != ERROR_TIMEOUT)
            pace(eraseSettleMs);
        return false;
    }
    pace(eraseSettleMs);
    pace(addressLeadMs);
    if (failed(SetWriteAddress(), IDS_FAIL_WRITE_ADDRESS, failure))
        return false;
    pace(addressSettleMs);
    return sendBlocks(image, progress, failure);
}

// The progress window shows from the first command, at 0 % until the first block, and goes
// before the result: before the restore and release, which report nothing.
bool writeFirmware(const FirmwareImage& image, UpdateFailure& failure)
{
    HWND progress = createProgressWindow();
    bool sent = sendImage(image, progress, failure);
    DestroyWindow(progress);
    if (!sent)
        return false;
    // Their results do not matter: the firmware is in.
    SetWriteProtection(protectionRestore);
    SetSystemLock(lockRelease);
    return true;
}

}

void runUpdate()
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE) {
        failUpdate({IDS_FAIL_NO_UNIT, resultNoUnit, GetLastError()});
        return;
    }
    WORD offered = 0;
    if (!userConfirmed(offered))
        return;

    // No image, no command: the unit is never locked for an image it cannot be sent.
    FirmwareImage image = {};
    if (!loadImage(image)) {
        failUpdate({IDS_HINT_UPDATE_FAILED, ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError()});
        return;
    }

    UpdateFailure failure = {};
    beginUpdateInProgress();
    beginPrecisePacing();
    ControllerCheck check = checkController(failure);
    bool written = check == ControllerCheck::Same && writeFirmware(image, failure);
    endPrecisePacing();
    endUpdateInProgress();
    if (check == ControllerCheck::Changed) {
        // Nothing was written: the controller now attached is shown, to be confirmed anew.
        showChangedController(classifyDevice(resultSuccess));
        actOnKeptDeviceChanges();
        return;
    }
    if (!written) {
        failUpdate(failure);                // acts on the kept device changes before its box
        return;
    }
    ConnectedUnit.targetInfo.escFirmwareVersion = offered;
    EnableWindow(GetDlgItem(mainWindow, IDC_UPDATE), FALSE);
    refreshVersionPanel();
    setHint(IDS_HINT_UPDATE_SUCCEEDED);
    actOnKeptDeviceChanges();               // a unit pulled out meanwhile is dropped now
}
