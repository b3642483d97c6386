// Drives the real updater from another process under Wine: finds its dialog, reads what the
// user sees, presses what the user presses.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// The visible, unowned dialog (#32770) whose title is exactly title, of that process unless
// processId is 0; null after timeoutMs.
HWND waitForDialog(const std::wstring& title, DWORD timeoutMs, DWORD processId = 0);
// Visible top-level windows with exactly this title, in any process; read without a message, so
// a window busy with an update counts too.
std::size_t topLevelWindowsTitled(const std::wstring& title);

// A control's text. Another process's edit control answers WM_GETTEXT only, not GetWindowTextW.
std::wstring text(HWND window);
std::wstring controlText(HWND dialog, int id);
bool controlEnabled(HWND dialog, int id);

// The cancel command, as Close, Escape and the close box send it; posted, so a box it opens
// cannot block the driver.
void postClose(HWND dialog);

// A click on a button, posted (BM_CLICK): a box the click opens cannot block the driver.
void postClick(HWND dialog, int id);
// A click as a user makes it: the pointer moved to the control's centre and the left button
// pressed and released, as input to whatever window is under the pointer. False when the input
// could not be sent.
bool clickWithMouse(HWND dialog, int id);
// The Escape key, to the control that has the focus, where the dialog manager reads it.
void postEscape(HWND dialog);
// The window's close box.
void postCloseBox(HWND dialog);

// The message box the dialog owns, once it is up; null after timeoutMs.
HWND waitForMessageBox(HWND owner, DWORD timeoutMs);
struct MessageBoxView {
    std::wstring caption;
    std::wstring text;
    HICON icon;                             // a handle of the box's process: Wine lets no other read it
};
MessageBoxView readMessageBox(HWND box);
// Presses the box's button with this ID (IDOK, IDCANCEL, IDYES, IDNO).
void answerMessageBox(HWND box, int button);

// True when the window is gone within timeoutMs.
bool waitUntilGone(HWND window, DWORD timeoutMs);

// True once the control shows exactly this text, within timeoutMs.
bool waitForText(HWND dialog, int id, const std::wstring& text, DWORD timeoutMs);

// Clicks the button, answers the box it opens with OK and waits until the box is gone; false
// when no box came up.
bool clickAndConfirm(HWND dialog, int id);

// A box that the dialog with this title shows while it initialises, before the dialog itself is
// visible (so it is found through its owner); null after timeoutMs.
HWND waitForBoxDuringInit(const std::wstring& title, DWORD timeoutMs);

}
