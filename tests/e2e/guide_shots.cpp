// zefran-guide-shots: the user guide's screenshots, taken of the real updater under Wine with
// simulated units, in the language of the user interface (LC_ALL):
//   zefran-guide-shots <folder> <language tag>
// writes <tag>-no-unit.bmp, -ready (a BENCH-BOX), -ready-orbipad, -no-firmware ("----------"),
// -recognised-only (versions shown, nothing offered), -wrong-mode, -no-controller,
// -connection-lost, -warning (over a controller holding 1.16) and -version-question (over one
// holding 1.18), the two boxes before an update, -updating
// (the progress bar part-way), -updated, -failed (the failure box) and -failed-hint (the window
// after it), -failed-no-code (the failure box without an error line), -missing-image (the box of
// an updater whose image is missing), -incompatible (the incompatibility box) and
// -incompatible-hint (the window after it), -registration-failed (the error box of a start whose
// notification registration failed). Each picture is the updater's windows and a margin of
// the desktop around them. A state that does not come about as expected saves no picture and
// fails the run.
#include "expected_texts.h"
#include "screen.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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

bool fail(const wchar_t* state, const char* why)
{
    std::printf("FAILED %ls: %s\n", state, why);
    return false;
}

// The window as the updater shows it at start, once shown(dialog) holds: otherwise no picture,
// and why.
bool startState(const Shots& shots, const char* units, const wchar_t* state, const std::function<bool(HWND)>& shown,
                const char* why)
{
    UpdaterProcess updater(units);
    HWND dialog = updater.window();
    bool ok = dialog != nullptr;
    if (ok && !shown(dialog))
        ok = fail(state, why);
    ok = ok && shoot(shots, updater, state);
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// A start that ends with hint in the hint box.
bool startState(const Shots& shots, const char* units, const wchar_t* state, const std::wstring& hint)
{
    return startState(shots, units, state, [&hint](HWND dialog) { return ui::waitForText(dialog, 40004, hint, 10000); },
                      "the hint box does not hold the state's hint");
}

// A controller the updater knows but offers nothing: its versions, no hint, Update greyed.
bool recognisedOnlyState(const Shots& shots)
{
    return startState(shots, "type=0x110FA0AA", L"recognised-only", [](HWND dialog) {
        return ui::controlText(dialog, 40015) == L"1.16" && ui::controlText(dialog, 40004) == L"" &&
               !ui::controlEnabled(dialog, 1002);
    }, "not the versions with an empty hint box and Update greyed");
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

// The warning over a controller holding 1.16, as before a first update, cancelled.
bool warningState(const Shots& shots)
{
    UpdaterProcess updater("esc=0x0110");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr;
    if (ok && ui::controlText(dialog, 40015) != L"1.16")
        ok = fail(L"warning", "the controller does not show 1.16");
    if (ok)
        ui::postClick(dialog, 1002);
    HWND warning = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    ok = ok && warning != nullptr && shoot(shots, updater, L"warning");
    if (warning != nullptr) {
        ui::answerMessageBox(warning, IDCANCEL);
        ui::waitUntilGone(warning, 5000);
    }
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// With the carried version installed: the warning confirmed, then the version question, declined.
bool versionQuestionState(const Shots& shots)
{
    UpdaterProcess updater("esc=0x0112");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr;
    if (ok)
        ui::postClick(dialog, 1002);
    HWND warning = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    ok = ok && warning != nullptr;
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
    if (ok && !ui::waitForText(dialog, 40004, e2e::message(40030), 10000))
        ok = fail(L"failed-hint", "no retry hint after the failure box");
    ok = ok && shoot(shots, updater, L"failed-hint");
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

// The unit pulled out while the warning is up, then OK: the lock finds no unit, and the box has
// no error line.
bool failureWithoutCodeState(const Shots& shots)
{
    const wchar_t* state = L"failed-no-code";
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    bool ok = dialog != nullptr;
    if (ok)
        ui::postClick(dialog, 1002);
    HWND warning = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    ok = ok && warning != nullptr && updater.control("detach 0").rfind("error", 0) != 0;
    if (ok && !ui::waitForText(dialog, 40004, e2e::instructedHint(40020), 10000))
        ok = fail(state, "the removal was not shown while the warning was up");
    if (warning != nullptr) {
        ui::answerMessageBox(warning, IDOK);
        ui::waitUntilGone(warning, 5000);
    }
    HWND failure = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
    if (failure != nullptr && ui::readMessageBox(failure).text != e2e::message(40026))
        ok = fail(state, "the failure box is not the lock's text alone");
    ok = ok && failure != nullptr && shoot(shots, updater, state);
    if (failure != nullptr)
        ui::answerMessageBox(failure, IDOK);
    if (dialog != nullptr)
        ui::postClose(dialog);
    return ok && updater.waitForExit() == 0;
}

std::vector<unsigned char> readFile(const std::wstring& path)
{
    std::vector<unsigned char> bytes;
    if (std::FILE* file = _wfopen(path.c_str(), L"rb")) {
        unsigned char chunk[65536];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) != 0;)
            bytes.insert(bytes.end(), chunk, chunk + got);
        std::fclose(file);
    }
    return bytes;
}

bool writeFile(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// The updater's file as Windows' loader lays it out: little-endian fields, and where an address
// in the loaded image (an RVA) lies in the file. Reads past the end give 0.
struct PeFile {
    std::vector<unsigned char> bytes;

    DWORD u16(std::size_t at) const { return at + 2 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 : 0; }
    DWORD u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }
    std::size_t header() const { return u32(0x3C); }
    std::size_t optionalHeader() const { return header() + 24; }
    bool is64Bit() const { return u32(header()) == 0x00004550 && u16(optionalHeader()) == 0x20B; }
    DWORD directory(int index) const { return u32(optionalHeader() + 112 + 8 * index); }
    // The file offset of an RVA; 0 when no section holds it.
    std::size_t offsetOf(DWORD rva) const
    {
        std::size_t sections = optionalHeader() + u16(header() + 20);
        for (DWORD i = 0; i < u16(header() + 6); ++i) {
            std::size_t section = sections + 40 * i;
            DWORD address = u32(section + 12);
            if (rva >= address && rva < address + u32(section + 16))
                return u32(section + 20) + (rva - address);
        }
        return 0;
    }
};

// A copy of the updater whose firmware image `stored` is filed under the unused ID `unused`:
// what a damaged program file would hold. Nothing else changes, and the IDs stay in the ascending
// order the resource loader's search relies on. False, with the reason, when the file is not laid
// out as expected.
bool writeUpdaterWithoutImage(const std::wstring& from, const std::wstring& to, DWORD stored, DWORD unused)
{
    PeFile exe = {readFile(from)};
    if (!exe.is64Bit())
        return fail(L"missing-image", "the updater is not a 64-bit PE file");
    std::size_t resources = exe.offsetOf(exe.directory(2));
    if (resources == 0)
        return fail(L"missing-image", "no resource section");
    // The directory's ID entries: 8 bytes each after its 16-byte header and its named entries.
    auto idEntries = [&](std::size_t directory) {
        std::vector<std::size_t> entries;
        DWORD named = exe.u16(directory + 12);
        for (DWORD k = named; k < named + exe.u16(directory + 14); ++k)
            entries.push_back(directory + 16 + 8 * k);
        return entries;
    };
    std::size_t images = 0;
    for (std::size_t entry : idEntries(resources))
        if (exe.u32(entry) == 10 && (exe.u32(entry + 4) & 0x80000000) != 0)     // RT_RCDATA, a subdirectory
            images = resources + (exe.u32(entry + 4) & 0x7FFFFFFF);
    std::vector<std::size_t> entries = images != 0 ? idEntries(images) : std::vector<std::size_t>{};
    std::size_t target = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        DWORD id = exe.u32(entries[i]);
        if (id == unused)
            return fail(L"missing-image", "the unused ID is stored");
        if (id == stored && (i == 0 || exe.u32(entries[i - 1]) < unused) &&
            (i + 1 == entries.size() || exe.u32(entries[i + 1]) > unused))
            target = entries[i];
    }
    if (target == 0)
        return fail(L"missing-image", "the image is not stored, or its new ID would break the order");
    exe.bytes[target] = static_cast<unsigned char>(unused & 0xFF);
    exe.bytes[target + 1] = static_cast<unsigned char>(unused >> 8);
    return writeFile(to, exe.bytes) || fail(L"missing-image", "the copy could not be written");
}

// A 17-cell controller of variant 250 takes image 151; in this copy it is filed as 150, which the
// catalogue names but no updater stores. Nothing is sent to the unit.
bool missingImageState(const Shots& shots)
{
    const wchar_t* state = L"missing-image";
    const std::wstring damaged = L"zefran-hvi-updater-damaged.exe";
    if (!writeUpdaterWithoutImage(e2e::runFolder() + L"\\zefran-hvi-updater.exe", e2e::runFolder() + L"\\" + damaged,
                                  151, 150))
        return false;
    bool ok = true;
    {
        UpdaterProcess updater("type=0x110FA0FA", damaged);
        HWND dialog = updater.window();
        ok = dialog != nullptr && ui::clickAndConfirm(dialog, 1002);
        HWND failure = ok ? ui::waitForMessageBox(dialog, 10000) : nullptr;
        if (failure != nullptr && ui::readMessageBox(failure).text.rfind(e2e::message(40030) + L"\r\n", 0) != 0)
            ok = fail(state, "the failure box does not hold the retry text and a code line");
        ok = ok && failure != nullptr && shoot(shots, updater, state);
        if (failure != nullptr)
            ui::answerMessageBox(failure, IDOK);
        if (dialog != nullptr)
            ui::postClose(dialog);
        ok = updater.waitForExit() == 0 && ok;
    }
    DeleteFileW((e2e::runFolder() + L"\\" + damaged).c_str());
    return ok;
}

// A copy of the updater that imports user32's GetPropW in place of RegisterDeviceNotificationW:
// asked for a property named by the filter's first bytes, which no window has, it answers null
// as a refused registration does. Windows cannot be made to refuse one from outside. False, with
// the reason, when the file is not laid out as expected.
bool writeUpdaterWhoseRegistrationFails(const std::wstring& from, const std::wstring& to)
{
    const wchar_t* state = L"registration-failed";
    PeFile exe = {readFile(from)};
    if (!exe.is64Bit())
        return fail(state, "the updater is not a 64-bit PE file");
    const std::string wanted = "RegisterDeviceNotificationW";
    const std::string replacement = "GetPropW";
    // Import descriptors of 20 bytes, each with its lookup table of 64-bit entries; an entry
    // without the ordinal bit is the address of a 2-byte hint and the name.
    for (std::size_t descriptor = exe.offsetOf(exe.directory(1)); descriptor != 0 && exe.u32(descriptor + 12) != 0;
         descriptor += 20) {
        for (std::size_t entry = exe.offsetOf(exe.u32(descriptor)); entry != 0 && exe.u32(entry) != 0; entry += 8) {
            std::size_t name = exe.u32(entry + 4) & 0x80000000 ? 0 : exe.offsetOf(exe.u32(entry)) + 2;
            if (name < 2 || name + wanted.size() >= exe.bytes.size() ||
                std::string(exe.bytes.begin() + name, exe.bytes.begin() + name + wanted.size() + 1) != wanted + '\0')
                continue;
            std::fill(exe.bytes.begin() + name, exe.bytes.begin() + name + wanted.size(), 0);
            std::copy(replacement.begin(), replacement.end(), exe.bytes.begin() + name);
            return writeFile(to, exe.bytes) || fail(state, "the copy could not be written");
        }
    }
    return fail(state, "the updater does not import RegisterDeviceNotificationW by name");
}

// The error box at start, before the window is shown; after OK the updater ends.
bool registrationFailedState(const Shots& shots)
{
    const wchar_t* state = L"registration-failed";
    const std::wstring refusing = L"zefran-hvi-updater-unregistered.exe";
    if (!writeUpdaterWhoseRegistrationFails(e2e::runFolder() + L"\\zefran-hvi-updater.exe",
                                            e2e::runFolder() + L"\\" + refusing))
        return false;
    bool ok = true;
    {
        UpdaterProcess updater("none", refusing);
        HWND box = ui::waitForBoxDuringInit(UpdaterProcess::title, 30000);
        if (box == nullptr)
            ok = fail(state, "no box came up");
        else if (ui::readMessageBox(box).caption != e2e::message(40012) || ui::readMessageBox(box).text != e2e::message(40011))
            ok = fail(state, "the box is not the registration's error box");
        ok = ok && shoot(shots, updater, state);
        if (box != nullptr)
            ui::answerMessageBox(box, IDOK);
        ok = updater.waitForExit() == 0 && ok;
    }
    DeleteFileW((e2e::runFolder() + L"\\" + refusing).c_str());
    return ok;
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
        if (ok && (updater.window() != dialog || !ui::waitForText(dialog, 40004, e2e::instructedHint(40035), 10000)))
            ok = fail(L"incompatible-hint", "the window did not show the incompatibility hint");
        ok = ok && shoot(shots, updater, L"incompatible-hint");
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
    bool ok = startState(shots, "none", L"no-unit", e2e::instructedHint(40017));
    ok = startState(shots, "", L"ready", e2e::message(40000)) && ok;
    ok = startState(shots, "pid=1", L"ready-orbipad", e2e::message(40000)) && ok;
    ok = startState(shots, "esc=0xFFFF", L"no-firmware", e2e::message(40000)) && ok;
    ok = startState(shots, "mode=1", L"wrong-mode", e2e::instructedHint(40015)) && ok;
    ok = startState(shots, "state=2", L"no-controller", e2e::instructedHint(40016)) && ok;
    ok = recognisedOnlyState(shots) && ok;
    ok = connectionLostState(shots) && ok;
    ok = warningState(shots) && ok;
    ok = versionQuestionState(shots) && ok;
    ok = incompatibleState(shots) && ok;
    ok = failureWithoutCodeState(shots) && ok;
    ok = missingImageState(shots) && ok;
    ok = registrationFailedState(shots) && ok;
    ok = failureState(shots) && ok;
    ok = updateStates(shots) && ok;
    return ok ? 0 : 1;
}
