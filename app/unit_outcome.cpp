#include "unit_outcome.h"

#include "app_state.h"
#include "connected_unit.h"
#include "hint_box.h"
#include "literals.h"
#include "messages.h"
#include "resource.h"

#include <strsafe.h>

namespace {

void showIncompatibleBox()
{
    WCHAR format[messageBufferSize];
    WCHAR text[messageBufferSize];
    WCHAR caption[messageBufferSize];
    loadMessage(IDS_INCOMPATIBLE_FORMAT, format);
    StringCchPrintfW(text, messageBufferSize, format, modelString);
    loadMessage(IDS_INCOMPATIBLE_CAPTION, caption);
    MessageBoxW(mainWindow, text, caption, MB_ICONINFORMATION);
}

}

void enableUpdate(BOOL enable)
{
    EnableWindow(GetDlgItem(mainWindow, IDC_UPDATE), enable);
}

void dropUnit(UINT hintId)
{
    enableUpdate(FALSE);
    closeDevice();
    showHint(hintId);
}

void rejectIncompatible()
{
    // Closed before the box: a removal handled while the box is up finds nothing held.
    enableUpdate(FALSE);
    closeDevice();
    showIncompatibleBox();
    // The box's modal loop may have taken a unit that arrived meanwhile; its arrival has shown
    // it, and "not compatible" would now speak of the wrong controller.
    if (ConnectedUnit.handle == INVALID_HANDLE_VALUE)
        showHint(IDS_HINT_INCOMPATIBLE);
}
