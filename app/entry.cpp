// The entry point: one updater at a time, one modal dialog, then exit code 0 whatever the
// dialog's result.
#include "app_state.h"
#include "connected_unit.h"
#include "main_dialog.h"
#include "messages.h"
#include "resource.h"
#include "single_updater.h"

#include <commctrl.h>

HINSTANCE appInstance = nullptr;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before any unit is touched or any window shown: a second updater hands over to the first.
    HANDLE updaterLock = nullptr;
    if (!takeUpdaterLock(updaterLock))
        return 0;
    InitCommonControls();           // the progress bar of the update is a common control
    appInstance = instance;
    initConnectedUnit();

    // The template of the language chosen in code, like every text of the window.
    HRSRC found = FindResourceExW(appInstance, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), userInterfaceLanguage());
    if (found != nullptr) {
        auto dialogTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(appInstance, found)));
        DialogBoxIndirectParamW(appInstance, dialogTemplate, nullptr, mainDialogProc, 0);
    }
    if (updaterLock != nullptr)
        CloseHandle(updaterLock);
    return 0;
}
