// zefran-guide-shots: the user guide's screenshots, taken of the real updater under Wine with
// simulated units, in the language of the user interface (LC_ALL):
//   zefran-guide-shots <folder> <language tag>
// writes <tag>-no-unit.bmp, -ready (a BENCH-BOX), -ready-orbipad, -no-firmware ("----------"),
// -wrong-mode, -no-controller, -connection-lost, -warning and -version-question (the two boxes
// before an update), -updating (the progress bar part-way), -updated, -failed (the failure box)
// and -incompatible (the incompatibility box). Each picture is the updater's windows and a margin
// of the desktop around them.
#include "expected_texts.h"
#include "screen.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <cstdio>
#include <string>

using e2e::UpdaterProcess;

namespace {

constexpr int margin = 12;

struct Shots {
    std::wstring folder;
    std::wstring tag;
};

BOOL CALLBACK addWindow(HWND window, LPARAM parameter)
{
    auto* found = reinterpret_cast<std::pair<DWORD, RECT>*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect;
    if (process == found->first && IsWindowVisible(window) && GetWindowRect(window, &rect))
        UnionRect(&found->second, &found->second, &rect);
    return TRUE;
}

// The union of the updater's visible top-level windows, with a margin.
RECT updaterArea(DWORD processId)
{
    std::pair<DWORD, RECT> found = {processId, {}};
    EnumWindows(addWindow, reinterpret_cast<LPARAM>(&found));
    InflateRect(&found.second, margin, margin);
    return found.second;
}

bool shoot(const Shots& shots, const UpdaterProcess& updater, const wchar_t* state)
{
    Sleep(500);                             // let Wine finish painting
    std::wstring path = shots.folder + L"\\" + shots.tag + L"-" + state + L".bmp";
    bool saved = e2e::saveScreenshot(path, updaterArea(updater.processId()));
    std::printf("%s %ls\n", saved ? "saved" : "FAILED", path.c_str());
    return saved;
}

bool startState(const Shots& shots, const char* units, const wchar_t* state)
{
    UpdaterProcess updater(units);
    HWND dialog = updater.window();
    bool ok = dialog != nullptr && shoot(shots, updater, state);
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// The unit pulled out while the window shows it.
bool connectionLostState(const Shots& shots)
{
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr && updater.control("detach 0").rfind("error", 0) != 0;
    ok = ok && ui::waitForText(dialog, 40004, e2e::instructedHint(40020), 10000) && shoot(shots, updater, L"connection-lost");
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// The warning, then (with the carried version installed) the version question, each declined.
bool boxStates(const Shots& shots)
{
    UpdaterProcess updater("esc=0x0112");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr;
    if (ok)
        ui::postClick(dialog, 1002);
    HWND warning = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    ok = ok && warning != nullptr && shoot(shots, updater, L"warning");
    if (warning != nullptr) {
        ui::answerMessageBox(warning, IDOK);
        ui::waitUntilGone(warning, 5000);
    }
    HWND question = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    ok = ok && question != nullptr && shoot(shots, updater, L"version-question");
    if (question != nullptr) {
        ui::answerMessageBox(question, IDNO);
        ui::waitUntilGone(question, 5000);
    }
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// Part-way through the blocks, then at the end: erase and address take about 5 s, the blocks 41 s.
bool updateStates(const Shots& shots)
{
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr && ui::clickAndConfirm(dialog, 1002);
    Sleep(20000);
    ok = ok && shoot(shots, updater, L"updating");
    ok = ok && ui::waitForText(dialog, 40004, e2e::message(40032), 120000) && shoot(shots, updater, L"updated");
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

bool failureState(const Shots& shots)
{
    UpdaterProcess updater("unplug_at_block=300");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr && ui::clickAndConfirm(dialog, 1002);
    HWND failure = ok ? ui::waitForMessageBox(dialog, 60000) : nullptr;
    ok = ok && failure != nullptr && shoot(shots, updater, L"failed");
    if (failure != nullptr)
        ui::answerMessageBox(failure, IDOK);
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// The box is up while the window initialises, before it is shown: found by its owner.
bool incompatibleState(const Shots& shots)
{
    UpdaterProcess updater("type=0x12345678");
    HWND box = ui::waitForBoxDuringInit(UpdaterProcess::title, 30000);
    bool ok = box != nullptr && shoot(shots, updater, L"incompatible");
    if (box != nullptr) {
        HWND dialog = GetWindow(box, GW_OWNER);
        ui::answerMessageBox(box, IDOK);
        ui::waitUntilGone(box, 5000);
        ui::postClose(dialog);
    }
    return ok && updater.waitForExit() == 0;
}

}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zefran-guide-shots <folder> <language tag>\n");
        return 2;
    }
    Shots shots = {argv[1], argv[2]};
    bool ok = startState(shots, "none", L"no-unit");
    ok = startState(shots, "", L"ready") && ok;
    ok = startState(shots, "pid=1", L"ready-orbipad") && ok;
    ok = startState(shots, "esc=0xFFFF", L"no-firmware") && ok;
    ok = startState(shots, "mode=1", L"wrong-mode") && ok;
    ok = startState(shots, "state=2", L"no-controller") && ok;
    ok = connectionLostState(shots) && ok;
    ok = boxStates(shots) && ok;
    ok = incompatibleState(shots) && ok;
    ok = failureState(shots) && ok;
    ok = updateStates(shots) && ok;
    return ok ? 0 : 1;
}
