// Smoke check of the real updater under Wine with no unit attached:
//   zefran-smoke-check check <close text> <hint start>   the window is up and shows the no-unit state
//   zefran-smoke-check close                             press Close and see the window go
// Prints what it saw; exit code 0 when everything matched.
#include "ui_driver.h"

#include <cstdio>
#include <string>

namespace {

const std::wstring title = L"BRELVANT ZEFRAN HVI FW Updater 1.18 ";
int failures = 0;

void expect(bool ok, const char* what, const std::wstring& seen)
{
    std::printf("%s %s: \"%ls\"\n", ok ? "ok  " : "FAIL", what, seen.c_str());
    failures += ok ? 0 : 1;
}

int check(HWND dialog, const std::wstring& closeText, const std::wstring& hintStart)
{
    expect(ui::controlText(dialog, 2) == closeText, "Close button", ui::controlText(dialog, 2));
    std::wstring hint = ui::controlText(dialog, 40004);
    expect(hint.rfind(hintStart, 0) == 0, "hint", hint.substr(0, 80));
    expect(!ui::controlEnabled(dialog, 1002), "Update disabled", ui::controlText(dialog, 1002));
    for (int id : {40013, 40014, 40015}) {
        expect(ui::controlText(dialog, id) == L"0.0.0", "version label", ui::controlText(dialog, id));
        expect(!ui::controlEnabled(dialog, id), "version label greyed", ui::controlText(dialog, id));
    }
    return failures == 0 ? 0 : 1;
}

}

int wmain(int argc, wchar_t** argv)
{
    std::wstring mode = argc > 1 ? argv[1] : L"";
    DWORD started = GetTickCount();
    HWND dialog = ui::waitForDialog(title, 60000);
    if (dialog == nullptr) {
        std::printf("FAIL no window titled \"%ls\" within 60 s\n", title.c_str());
        return 1;
    }
    std::printf("ok   window found after %lu ms\n", static_cast<unsigned long>(GetTickCount() - started));
    if (mode == L"check" && argc == 4)
        return check(dialog, argv[2], argv[3]);
    if (mode == L"close") {
        ui::postClose(dialog);
        bool gone = ui::waitUntilGone(dialog, 10000);
        expect(gone, "window closed", gone ? L"gone" : L"still there");
        return failures == 0 ? 0 : 1;
    }
    std::printf("usage: zefran-smoke-check check <close text> <hint start> | close\n");
    return 2;
}
