// Units pulled out and refusing under Wine's own HID stack: the notifications come from Wine's
// PnP manager, and a removal ends a read the updater is waiting in.
#include "expected_texts.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using e2e::UpdaterProcess;

namespace {

double nowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool transcriptHas(const UpdaterProcess& updater, const std::string& note)
{
    for (const std::string& line : updater.transcript(0))
        if (line.find(note) != std::string::npos)
            return true;
    return false;
}

}

TEST(HotPlug, RemovalOfTheHeldUnitReachesTheWindowFromWine)
{
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(1, updater.clients(0));

    double pulled = nowMs();
    ASSERT_EQ("0", updater.control("detach 0"));
    std::wstring lost = e2e::instructedHint(40020);
    while (ui::controlText(dialog, 40004) != lost && nowMs() - pulled < 10000)
        Sleep(5);
    std::printf("removal reached the window %.0f ms after the unit was pulled\n", nowMs() - pulled);
    EXPECT_EQ(lost, ui::controlText(dialog, 40004));
    EXPECT_FALSE(ui::controlEnabled(dialog, 1002));

    double plugged = nowMs();
    ASSERT_EQ("1", updater.control("attach pid=1"));
    while (ui::controlText(dialog, 40004) != e2e::message(40000) && nowMs() - plugged < 10000)
        Sleep(5);
    std::printf("arrival reached the window %.0f ms after the unit was plugged\n", nowMs() - plugged);
    EXPECT_EQ(e2e::message(40000), ui::controlText(dialog, 40004));
    EXPECT_EQ(L"ORBIPAD", ui::controlText(dialog, 40010));
    EXPECT_EQ(1, updater.clients(1));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

// The unit takes the fifth block and never answers: the updater waits in ReadFile, as long as it
// takes, until the unit is pulled out.
TEST(HotPlug, RemovalEndsAnExchangeTheUpdaterIsWaitingIn)
{
    UpdaterProcess updater("silent_at_block=5");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(ui::clickAndConfirm(dialog, 1002));
    for (double started = nowMs(); !transcriptHas(updater, "fault:silent") && nowMs() - started < 20000;)
        Sleep(50);
    ASSERT_TRUE(transcriptHas(updater, "fault:silent"));
    EXPECT_EQ(nullptr, ui::waitForMessageBox(dialog, 2000)) << "no time limit: the updater still waits";

    double pulled = nowMs();
    ASSERT_EQ("0", updater.control("detach 0"));
    HWND failure = ui::waitForMessageBox(dialog, 10000);
    ASSERT_NE(nullptr, failure);
    std::printf("the waiting read failed %.0f ms after the unit was pulled\n", nowMs() - pulled);
    std::wstring text = ui::readMessageBox(failure).text;
    EXPECT_EQ(e2e::message(40009) + L"\r\n", text.substr(0, e2e::message(40009).size() + 2));
    EXPECT_NE(std::wstring::npos, text.find(L"0xfffffffd-0x")) << "the read failed";
    ui::answerMessageBox(failure, IDOK);
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

TEST(HotPlug, AWriteTheUnitRefusesFailsTheLockWithTheWriteCode)
{
    UpdaterProcess updater("write_fails_on=0x0B");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(ui::clickAndConfirm(dialog, 1002));
    HWND failure = ui::waitForMessageBox(dialog, 10000);
    ASSERT_NE(nullptr, failure);
    std::wstring text = ui::readMessageBox(failure).text;
    EXPECT_EQ(e2e::message(40026) + L"\r\n", text.substr(0, e2e::message(40026).size() + 2));
    EXPECT_NE(std::wstring::npos, text.find(L"0xfffffffe-0x")) << "WriteFile itself failed";
    ui::answerMessageBox(failure, IDOK);
    EXPECT_EQ(0, updater.clients(0)) << "the failed unit was let go";
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}
