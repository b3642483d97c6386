// The real updater under Wine with simulated units: what the window shows at start, and how it ends.
#include "expected_texts.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using e2e::UpdaterProcess;

namespace {

struct Outcome {
    const char* name;
    const char* units;
    std::function<std::wstring()> hint;
    bool updateEnabled;
    bool held;
    std::vector<std::wstring> panel;
};

const std::vector<std::wstring> emptyPanel = {L"0.0.0", L"0.0.0", L"0.0.0"};
const std::vector<std::wstring> defaultUnitPanel = {L"1.3", L"1.2", L"1.16"};

std::vector<std::wstring> panel(HWND dialog)
{
    return {ui::controlText(dialog, 40013), ui::controlText(dialog, 40014), ui::controlText(dialog, 40015)};
}

std::string hex(const std::string& line, int field)
{
    std::size_t start = 0;
    for (int i = 0; i < field; ++i)
        start = line.find(' ', start) + 1;
    return line.substr(start, line.find(' ', start) - start);
}

}

// Runs in English and, with LC_ALL=de_DE.UTF-8, in German.
TEST(Language, EachOutcomeShowsItsHintButtonAndPanel)
{
    const Outcome outcomes[] = {
        {"no unit", "none", [] { return e2e::instructedHint(40017); }, false, false, emptyPanel},
        {"wrong mode", "mode=1", [] { return e2e::instructedHint(40015); }, false, false, emptyPanel},
        {"no controller", "state=2", [] { return e2e::instructedHint(40016); }, false, false, emptyPanel},
        {"accepted", "", [] { return e2e::message(40000); }, true, true, defaultUnitPanel},
        {"recognised only", "type=0x110FA0AA", [] { return std::wstring(); }, false, true, defaultUnitPanel},
        // Its status request goes unanswered: the window comes after the exchange's 10 s limit.
        {"a unit that does not answer", "silent_on=0x08", [] { return e2e::instructedHint(40017); }, false, false,
         emptyPanel},
    };
    for (const Outcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.name);
        DWORD started = GetTickCount();
        UpdaterProcess updater(outcome.units);
        HWND dialog = updater.window(20000);
        ASSERT_NE(nullptr, dialog);
        EXPECT_LT(GetTickCount() - started, 15000u) << "the window comes within 15 s";
        EXPECT_EQ(outcome.hint(), ui::controlText(dialog, 40004));
        EXPECT_EQ(outcome.updateEnabled, ui::controlEnabled(dialog, 1002));
        EXPECT_EQ(outcome.panel, panel(dialog));
        EXPECT_EQ(outcome.held, ui::controlEnabled(dialog, 40013));
        EXPECT_EQ(outcome.held ? 1 : (std::string(outcome.units) == "none" ? -1 : 0), updater.clients(0));
        // The first row names the unit model once a unit is shown, else it keeps its message.
        EXPECT_EQ(outcome.held ? L"BENCH-BOX" : e2e::message(40039), ui::controlText(dialog, 40010));
        EXPECT_EQ(e2e::message(40041), ui::controlText(dialog, 40011));
        ui::postClose(dialog);
        EXPECT_EQ(0, updater.waitForExit());
    }
}

TEST(Language, IncompatibleControllerIsReleasedBeforeItsBoxAndTheHintComesAfter)
{
    UpdaterProcess updater("type=0x12345678");
    // The box is up while WM_INITDIALOG runs: the window is not shown yet, so it is found by its owner.
    HWND box = ui::waitForBoxDuringInit(UpdaterProcess::title, 30000);
    ASSERT_NE(nullptr, box);
    HWND dialog = GetWindow(box, GW_OWNER);
    ui::MessageBoxView view = ui::readMessageBox(box);
    std::wstring format = e2e::message(40034);
    EXPECT_EQ(format.replace(format.find(L"%s"), 2, L"ZEFRAN HVI"), view.text);
    EXPECT_EQ(e2e::message(40033), view.caption);
    // Which icon is checked natively (MB_ICONINFORMATION); Wine keeps icons to their process.
    EXPECT_NE(nullptr, view.icon);
    EXPECT_EQ(L"", ui::controlText(dialog, 40004)) << "the hint follows the box";
    EXPECT_EQ(0, updater.clients(0)) << "the unit is closed before the box";

    ui::answerMessageBox(box, IDOK);
    ASSERT_TRUE(ui::waitUntilGone(box, 5000));
    ASSERT_NE(nullptr, updater.window());
    EXPECT_EQ(e2e::instructedHint(40035), ui::controlText(dialog, 40004));
    EXPECT_EQ(emptyPanel, panel(dialog));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

TEST(StartUp, PanelShowsTheModelVersionsAndTenHyphensForNoFirmware)
{
    UpdaterProcess updater("pid=1,esc=0xFFFF,loader=0x02000305,fw=0x00011200");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"ORBIPAD", ui::controlText(dialog, 40010));
    EXPECT_EQ((std::vector<std::wstring>{L"1.18", L"2.3.5", L"----------"}), panel(dialog));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

TEST(StartUp, FirstOfTwoUnitsIsHeldAndTheSecondNeverOpened)
{
    UpdaterProcess updater("pid=1,type=0x110FA0D2;pid=2,esc=0x0105");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"ORBIPAD", ui::controlText(dialog, 40010));
    EXPECT_EQ(L"1.16", ui::controlText(dialog, 40015));
    EXPECT_EQ(1, updater.clients(0));
    EXPECT_EQ(0, updater.clients(1));
    EXPECT_TRUE(updater.transcript(1).empty());
    EXPECT_EQ(1, updater.runSecondHost(10000)) << "a second host on the prefix refuses";
    EXPECT_EQ(1, updater.clients(0)) << "and leaves the first host's units as they were";
    EXPECT_EQ(L"ORBIPAD", ui::controlText(dialog, 40010));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
    // With no updater left there is nothing to count: an error, never a 0 that was not measured.
    EXPECT_EQ(-1, updater.clients(1));
}

// The record sizes discovery hands setupapi, which checks them against its own layout: 28 and 6
// in the 32-bit build, 32 and 8 in the 64-bit one. Any other size and no unit is ever listed.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 4 ? 28u : 32u));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == (sizeof(void*) == 4 ? 6u : 8u));

TEST(StartUp, IdentificationExchangesCarryTheRequestLayoutsByteForByte)
{
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    std::vector<std::string> lines = updater.transcript(0);
    ASSERT_EQ(3u, lines.size());
    const std::string zeros(120, '0');
    EXPECT_EQ("010800" + zeros.substr(6), hex(lines[0], 3));
    EXPECT_EQ("011d080020000000e0ffffff" + zeros.substr(24), hex(lines[1], 3));
    // ReadTargetIdentity is written over the ReadTargetInfo reply: its bytes 2..59 as they came in.
    EXPECT_EQ("0122" + hex(lines[1], 4).substr(4), hex(lines[2], 3));
    // Replies as the strict unit gives them: report ID 2, noise wherever nothing is examined.
    EXPECT_EQ("02", hex(lines[0], 4).substr(0, 2));
    EXPECT_EQ("00", hex(lines[0], 4).substr(6, 2)) << "normal mode";
    EXPECT_EQ("faa00f14", hex(lines[2], 4).substr(8, 8)) << "type code 0x140FA0FA, little-endian";
    for (const std::string& line : lines) {
        EXPECT_EQ(120u, hex(line, 3).size()) << "whole 60-byte reports: " << line;
        EXPECT_EQ(std::string::npos, line.find("bad-")) << "the unit found nothing malformed: " << line;
    }
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

TEST(Shutdown, CloseEscapeAndTheCloseBoxEndWithCodeZeroAndSendNothing)
{
    const std::pair<const char*, std::function<void(HWND)>> ways[] = {
        {"Close", [](HWND d) { ui::postClick(d, 2); }},
        {"Escape", ui::postEscape},
        {"close box", ui::postCloseBox},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        UpdaterProcess updater("");
        HWND dialog = updater.window();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(1, updater.clients(0));
        std::size_t exchanges = updater.transcript(0).size();
        close(dialog);
        EXPECT_EQ(0, updater.waitForExit());
        EXPECT_EQ(exchanges, updater.transcript(0).size()) << "nothing is sent at Close";
    }
}

namespace {

// Wine's own HID devices, as the test process (with Wine's builtin DLLs) sees them.
std::vector<std::pair<USHORT, USHORT>> winesOwnHidDevices()
{
    std::vector<std::pair<USHORT, USHORT>> devices;
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO list = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(list, nullptr, &hid, i, &data); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(list, &data, nullptr, 0, &size, nullptr);
        std::vector<BYTE> buffer(size);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (!SetupDiGetDeviceInterfaceDetailW(list, &data, detail, size, nullptr, nullptr))
            continue;
        HANDLE handle = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof attributes;
        if (handle != INVALID_HANDLE_VALUE && HidD_GetAttributes(handle, &attributes))
            devices.emplace_back(attributes.VendorID, attributes.ProductID);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    SetupDiDestroyDeviceInfoList(list);
    return devices;
}

}

TEST(StartUp, WinesOwnHidDevicesWithProductIdsOneAndTwoArePassedOver)
{
    // Wine lists a virtual mouse and keyboard of another vendor with product IDs 1 and 2,
    // openable for reading and writing, before the simulated units.
    std::vector<std::pair<USHORT, USHORT>> devices = winesOwnHidDevices();
    bool lookAlike = false;
    for (auto [vendor, product] : devices)
        lookAlike |= vendor != 0x21B8 && (product == 1 || product == 2);
    ASSERT_TRUE(lookAlike) << "this Wine has no HID device with product ID 1 or 2";

    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(e2e::message(40000), ui::controlText(dialog, 40004));
    EXPECT_EQ(1, updater.clients(0));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}
