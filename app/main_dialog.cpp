#include "main_dialog.h"

#include "app_state.h"
#include "banner.h"
#include "classification.h"
#include "connected_unit.h"
#include "device_change.h"
#include "discovery.h"
#include "exchange.h"
#include "firmware_version.h"
#include "hint_box.h"
#include "literals.h"
#include "messages.h"
#include "resource.h"
#include "unit_outcome.h"
#include "update_in_progress.h"
#include "update_procedure.h"
#include "version_panel.h"

#include <strsafe.h>

HWND mainWindow = nullptr;
HDEVNOTIFY deviceNotification = nullptr;

void formatTitle(WCHAR (&title)[titleBufferSize])
{
    StringCchPrintfW(title, titleBufferSize, titleFormat, modelString,
                     static_cast<unsigned>(carriedFirmwareVersion >> 8),
                     static_cast<unsigned>(carriedFirmwareVersion & 0xFF), L"");
}

namespace {

constexpr INT_PTR resultRegistrationFailed = 1;
constexpr INT_PTR resultClosed = 2;

void setTitle(HWND dialog)
{
    WCHAR title[titleBufferSize];
    formatTitle(title);
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
}

void setRowNames()
{
    const struct {
        UINT messageId;
        int controlId;
    } rows[] = {{IDS_ROW_UNIT, IDC_ROW_UNIT}, {IDS_ROW_BOOTLOADER, IDC_ROW_BOOTLOADER}, {IDS_ROW_ESC, IDC_ROW_ESC}};
    WCHAR text[messageBufferSize];
    for (const auto& row : rows) {
        loadMessage(row.messageId, text);
        SetDlgItemTextW(mainWindow, row.controlId, text);
    }
}

bool registerForDeviceNotifications(HWND dialog)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    deviceNotification = RegisterDeviceNotificationW(dialog, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return deviceNotification != nullptr;
}

void showMessageBox(UINT textId, UINT captionId, UINT flags)
{
    WCHAR text[messageBufferSize];
    WCHAR caption[messageBufferSize];
    loadMessage(textId, text);
    loadMessage(captionId, caption);
    MessageBoxW(mainWindow, text, caption, flags);
}

void showStartOutcome(ClassificationOutcome outcome)
{
    switch (outcome) {
    case ClassificationOutcome::NoUnit: dropUnit(IDS_HINT_NO_UNIT); break;
    case ClassificationOutcome::WrongMode: dropUnit(IDS_HINT_WRONG_MODE); break;
    case ClassificationOutcome::NoController: dropUnit(IDS_HINT_NO_CONTROLLER); break;
    case ClassificationOutcome::Accepted:
        setHint(IDS_HINT_READY);
        enableUpdate(TRUE);
        break;
    case ClassificationOutcome::RecognisedOnly: break;     // held, but nothing is offered
    case ClassificationOutcome::Incompatible: rejectIncompatible(); break;
    }
    refreshVersionPanel();
}

void endMainDialog(HWND dialog, INT_PTR result)
{
    if (deviceNotification != nullptr)
        UnregisterDeviceNotification(deviceNotification);
    closeDevice();                  // nothing is sent: a held unit is simply closed
    deleteLabelBrush();
    EndDialog(dialog, result);
}

void initialiseDialog(HWND dialog)
{
    mainWindow = dialog;
    HICON icon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_APP));
    SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    setTitle(dialog);
    setRowNames();

    if (!registerForDeviceNotifications(dialog)) {
        // Without notifications the window could never follow the unit: it is not shown at all.
        showMessageBox(IDS_NOTIFY_REGISTRATION_FAILED, IDS_APPLICATION_ERROR_CAPTION, MB_ICONERROR);
        endMainDialog(dialog, resultRegistrationFailed);
        return;
    }
    showStartOutcome(classifyDevice(openDevice()));
}

INT_PTR onCommand(HWND dialog, WORD controlId)
{
    // Update, Close, Escape and the close box alike: nothing may cut an update short or start
    // another, nor close the unit while an exchange waits (a command can come then from an
    // accessibility tool, sent while identification runs).
    if (updateInProgress() || exchangeUnderWay())
        return TRUE;
    switch (controlId) {
    case IDC_CLOSE: endMainDialog(dialog, resultClosed); return TRUE;    // also Escape and the close box
    case IDC_UPDATE: runUpdate(); return TRUE;
    default: return FALSE;
    }
}

// A shutdown, restart or sign-out would end the program in the middle of writing the
// controller's flash. A dialog answers through DWLP_MSGRESULT; unhandled, the answer is TRUE.
INT_PTR refuseEndOfSessionDuringUpdate(HWND dialog)
{
    if (!updateInProgress())
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

}

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paintBanner(dialog);
        return FALSE;
    case WM_INITDIALOG:
        initialiseDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(labelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_QUERYENDSESSION:
        return refuseEndOfSessionDuringUpdate(dialog);
    case WM_DEVICECHANGE:
        return onDeviceChange(wParam, lParam) ? TRUE : FALSE;
    case WM_ACT_ON_KEPT_CHANGES:
        actOnKeptDeviceChanges();
        return TRUE;
    default:
        return FALSE;
    }
}
