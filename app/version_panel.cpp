#include "version_panel.h"

#include "app_state.h"
#include "connected_unit.h"
#include "literals.h"
#include "protocol.h"
#include "resource.h"

#include <strsafe.h>

namespace {

// Value labels first, then the row names; the order of enabling and disabling.
const int valueLabels[] = {IDC_VERSION_UNIT, IDC_VERSION_BOOTLOADER, IDC_VERSION_ESC};
const int panelLabels[] = {IDC_VERSION_UNIT, IDC_VERSION_BOOTLOADER, IDC_VERSION_ESC,
                           IDC_ROW_UNIT, IDC_ROW_BOOTLOADER, IDC_ROW_ESC};

constexpr WORD noInstalledFirmware = 0xFFFF;

void enablePanel(BOOL enable)
{
    for (int id : panelLabels)
        EnableWindow(GetDlgItem(mainWindow, id), enable);
}

// "major.minor.build" from bits 24..31 (left out when zero), 8..15 and 0..7; bits 16..23 are not shown.
void formatVersionWord(DWORD version, WCHAR (&text)[versionTextSize])
{
    text[0] = L'\0';
    if ((version >> 24) != 0)
        StringCchPrintfW(text, versionTextSize, versionLeadFormat, static_cast<unsigned>(version >> 24));
    WCHAR tail[versionTextSize];
    StringCchPrintfW(tail, versionTextSize, versionFormat, static_cast<unsigned>((version >> 8) & 0xFF),
                     static_cast<unsigned>(version & 0xFF));
    StringCchCatW(text, versionTextSize, tail);
}

void showHeldUnit()
{
    WCHAR text[versionTextSize];

    // The unit reports some versions with an empty low byte: 0x00011200 is 1.18.
    DWORD unitVersion = ConnectedUnit.unitFirmwareVersion;
    if ((unitVersion & 0xFF) == 0)
        unitVersion >>= 8;
    formatVersionWord(unitVersion, text);
    SetDlgItemTextW(mainWindow, IDC_VERSION_UNIT, text);

    formatVersionWord(ConnectedUnit.targetIdentity.bootloaderVersion, text);
    SetDlgItemTextW(mainWindow, IDC_VERSION_BOOTLOADER, text);

    WORD escVersion = ConnectedUnit.targetInfo.escFirmwareVersion;
    if (escVersion == noInstalledFirmware)
        StringCchCopyW(text, versionTextSize, noFirmwareText);
    else
        StringCchPrintfW(text, versionTextSize, versionFormat, static_cast<unsigned>(escVersion >> 8),
                         static_cast<unsigned>(escVersion & 0xFF));
    SetDlgItemTextW(mainWindow, IDC_VERSION_ESC, text);

    SetDlgItemTextW(mainWindow, IDC_ROW_UNIT, ConnectedUnit.productId == productIdOrbipad ? orbipadName : benchBoxName);
}

}

void refreshVersionPanel()
{
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE) {
        // Row 1 keeps the name of the unit shown last.
        for (int id : valueLabels)
            SetDlgItemTextW(mainWindow, id, noVersionText);
        enablePanel(FALSE);
        return;
    }
    enablePanel(TRUE);
    showHeldUnit();
}
