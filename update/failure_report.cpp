#include "failure_report.h"

#include "app_state.h"
#include "connected_unit.h"
#include "device_change.h"
#include "hint_box.h"
#include "messages.h"
#include "resource.h"
#include "result_codes.h"
#include "version_panel.h"

#include <strsafe.h>

namespace {

constexpr const WCHAR* codeLineSeparator = L"\r\n";

}

void reportUpdateFailure(const WCHAR* text, const WCHAR* caption, int code, DWORD lastError)
{
    // The unit goes before the box: a removal handled inside the box finds nothing held.
    closeDevice();
    EnableWindow(GetDlgItem(mainWindow, IDC_UPDATE), FALSE);
    refreshVersionPanel();
    // Device changes kept during the update act now, as they would while the box is up.
    actOnKeptDeviceChanges();

    WCHAR message[messageBufferSize];
    StringCchCopyW(message, messageBufferSize, text);
    if (code != resultNoUnit) {
        WCHAR format[messageBufferSize];
        WCHAR line[messageBufferSize];
        loadMessage(IDS_ERROR_CODE_FORMAT, format);
        StringCchPrintfW(line, messageBufferSize, format, static_cast<unsigned>(code), static_cast<unsigned>(lastError));
        StringCchCatW(message, messageBufferSize, codeLineSeparator);
        StringCchCatW(message, messageBufferSize, line);
    }
    MessageBoxW(mainWindow, message, caption, MB_ICONERROR);
    setHint(IDS_HINT_UPDATE_FAILED);
}
