// The update under Wine, in real time, against a simulated controller.
#include "answer_probe_run.h"
#include "bare_client.h"
#include "expected_texts.h"
#include "screen.h"
#include "text_fit.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using e2e::UpdaterProcess;

namespace {

std::vector<std::uint8_t> carriedImage(WORD id)
{
    static HMODULE updater = LoadLibraryExW((e2e::runFolder() + L"\\zefran-hvi-updater.exe").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceExW(updater, RT_RCDATA, MAKEINTRESOURCEW(id), 0x0407);
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(updater, found)));
    return std::vector<std::uint8_t>(data, data + SizeofResource(updater, found));
}

// Presses Update and answers the warning; returns when the warning is gone.
void startUpdate(HWND dialog)
{
    ui::postClick(dialog, 1002);
    HWND warning = ui::waitForMessageBox(dialog, 10000);
    ASSERT_NE(nullptr, warning);
    EXPECT_EQ(e2e::message(40038), ui::readMessageBox(warning).text);
    ui::answerMessageBox(warning, IDOK);
    ASSERT_TRUE(ui::waitUntilGone(warning, 5000));
}

// What the update waits after each request before it writes the next: 20 ms after the lock, the
// lift, the address and every block. After the erase come the 1000 ms between its write and its
// read, the 4000 ms after it and the 20 ms before the address; hidclass takes each reply from the
// unit at once, so the unit sees the three only as one gap.
double waitAfter(const std::string& request)
{
    static const std::pair<const char*, double> waits[] = {
        {"010b0101", 20}, {"01200100", 20}, {"011e04", 5020}, {"011f0901", 20}, {"011b30", 20}};
    for (const auto& [head, ms] : waits)
        if (request.rfind(head, 0) == 0)
            return ms;
    return 0;
}

bool startsWith(const std::vector<std::uint8_t>& flash, const std::vector<std::uint8_t>& image)
{
    return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
}

// The request of each transcript line after the first `from`, by its report ID and command byte.
std::vector<std::string> commandsFrom(const std::vector<std::string>& transcript, std::size_t from)
{
    std::vector<std::string> commands;
    for (std::size_t i = from; i < transcript.size(); ++i) {
        std::istringstream line(transcript[i]);
        std::string field, request;
        line >> field >> field >> field >> request;
        commands.push_back(request.substr(0, 4));
    }
    return commands;
}

// Under an emulated Wine the updater and the bare client are slowed unevenly; the window's
// answers are still checked there.
// What the answer probe saw: every message answered within 300 ms, never a hung window, and the
// shutdown's question refused.
void expectAnsweredThroughout(const std::string& answers)
{
    EXPECT_LT(e2e::reportFigure(answers, "longest wait "), 300.0) << "every message answered within 300 ms";
    EXPECT_EQ(0.0, e2e::reportFigure(answers, "hung in ")) << "never a hung window";
    EXPECT_NE(std::string::npos, answers.find("answered FALSE")) << "a shutdown is held off";
}

bool paceChecked()
{
    char value[16] = "";
    bool checked = GetEnvironmentVariableA("ZEFRAN_E2E_PACE", value, sizeof value) == 0 || std::strcmp(value, "unchecked") != 0;
    if (!checked)
        std::printf("the update's time and its ratio to the bare client are not checked here\n");
    return checked;
}

}

TEST(Update, CompleteUpdateLeavesTheCarriedImageInTheController)
{
    std::vector<std::uint8_t> image = carriedImage(172);     // 20 cells, variant 250
    ASSERT_EQ(98304u, image.size());
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);

    startUpdate(dialog);
    DWORD started = GetTickCount();
    // From another process, as Windows judges a program hung: WM_NULL over and over, IsHungAppWindow
    // every 100 ms, and a shutdown's first question 20 s in, in the middle of the transfer.
    e2e::AnswerProbeRun probe(dialog, 40000, 20000);
    // A second updater started during the transfer hands over to this one and ends at once,
    // without opening the unit or showing a window of its own.
    Sleep(8000);
    DWORD secondStarted = GetTickCount();
    EXPECT_EQ(0, UpdaterProcess::runAnother(5000));
    std::printf("a second updater ended %lu ms after its start\n", static_cast<unsigned long>(GetTickCount() - secondStarted));
    EXPECT_EQ(1u, ui::topLevelWindowsTitled(UpdaterProcess::title));
    EXPECT_EQ(1, updater.clients(0));
    // A real click on Close, 30 s in: thrown away, it must not end the program after the update.
    DWORD sinceStart = GetTickCount() - started;     // past 30 s already where emulation is slow
    Sleep(sinceStart < 30000 ? 30000 - sinceStart : 0);
    EXPECT_TRUE(ui::clickWithMouse(dialog, IDCANCEL));
    std::string answers;
    EXPECT_EQ(0, probe.finish(60000, answers)) << answers;
    std::printf("%s", answers.c_str());
    expectAnsweredThroughout(answers);
    EXPECT_LT(e2e::reportFigure(answers, "FALSE after "), 1000.0);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40032), 180000));
    DWORD elapsed = GetTickCount() - started;
    const bool pace = paceChecked();
    if (pace) {
        EXPECT_LT(elapsed, 46040u + 15000u) << "the waits must not stretch much";
    }
    Sleep(1000);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the click made during the update closed nothing";
    EXPECT_EQ(e2e::message(40032), ui::controlText(dialog, 40004));

    // A bare client with the same exchanges and waits, on a second unit of the same stack.
    ASSERT_EQ("1", updater.control("attach"));
    e2e::BareRun bare = e2e::bareUpdate(e2e::unitInterfacePath(1), image);
    ASSERT_TRUE(bare.ok);
    EXPECT_TRUE(startsWith(updater.flash(1), image)) << "the bare client's update is a real one";
    std::printf("update of %zu bytes: updater %lu ms, bare client %.0f ms, ratio %.3f; the prescribed waits add up "
                "to 46040 ms\n",
                image.size(), static_cast<unsigned long>(elapsed), bare.totalMs, elapsed / bare.totalMs);
    // Answering between the slices of each wait must not stretch the waits: the two run one after
    // the other on a machine whose load may change between them, hence the room.
    if (pace) {
        EXPECT_LT(elapsed / bare.totalMs, 1.05) << "the updater is no slower than a bare client";
    }
    std::printf("round trip over %zu exchanges: median %.3f ms, p99 %.3f ms\n", bare.roundTripsMs.size(),
                e2e::percentile(bare.roundTripsMs, 0.5), e2e::percentile(bare.roundTripsMs, 0.99));

    EXPECT_FALSE(ui::controlEnabled(dialog, 1002));
    EXPECT_EQ(L"1.18", ui::controlText(dialog, 40015));
    EXPECT_EQ(std::vector<std::string>{}, e2e::textsThatDoNotFit(dialog));
    EXPECT_TRUE(startsWith(updater.flash(0), image));
    std::vector<std::string> transcript = updater.transcript(0);
    ASSERT_FALSE(transcript.empty());
    EXPECT_EQ(std::string::npos, transcript.back().find(" - ")) << "every exchange answered";
    double prescribed = 0;
    for (std::size_t i = 0; i + 1 < transcript.size(); ++i) {
        std::istringstream line(transcript[i]), next(transcript[i + 1]);
        std::string field, request;
        double written = 0, nextWritten = 0;
        line >> field >> written >> field >> request;
        next >> field >> nextWritten;
        prescribed += waitAfter(request);
        EXPECT_GE(nextWritten - written, waitAfter(request) - 1.0) << "the wait after " << transcript[i];
    }
    EXPECT_EQ(46040.0, prescribed) << "every wait of the update is in the transcript";

    // The banner is drawn beside the panel with its key colour left out.
    Sleep(300);
    EXPECT_TRUE(e2e::saveScreenshot(e2e::runFolder() + L"\\..\\screenshots\\updated.bmp"));
    EXPECT_EQ(0u, e2e::countPixels(dialog, RGB(0, 255, 0))) << "pure green must never reach the screen";
    EXPECT_GT(e2e::countPixels(dialog, RGB(227, 0, 11)), 1000u) << "the red wordmark is drawn";

    // The same click once the update is over closes the window: the click above was a real one.
    EXPECT_TRUE(ui::clickWithMouse(dialog, IDCANCEL));
    EXPECT_EQ(0, updater.waitForExit());
}

TEST(Update, UnplugMidTransferIsReportedAndARepluggedUnitUpdatesCleanly)
{
    std::vector<std::uint8_t> image = carriedImage(172);
    UpdaterProcess updater("unplug_at_block=200");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    startUpdate(dialog);

    HWND failure = ui::waitForMessageBox(dialog, 30000);
    ASSERT_NE(nullptr, failure);
    ui::MessageBoxView view = ui::readMessageBox(failure);
    EXPECT_EQ(e2e::message(40002), view.caption);
    std::wstring expectedStart = e2e::message(40009) + L"\r\n";
    EXPECT_EQ(expectedStart, view.text.substr(0, expectedStart.size()));
    EXPECT_NE(std::wstring::npos, view.text.find(L"0xfffffffe-0x")) << "the write of block 200 failed";
    EXPECT_FALSE(ui::controlEnabled(dialog, 1002));
    ui::answerMessageBox(failure, IDOK);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40030), 10000));

    // What the controller holds: 199 blocks of the image, the rest erased.
    std::vector<std::uint8_t> flash = updater.flash(0);
    ASSERT_GE(flash.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 199 * 48, flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 199 * 48, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));

    // Plugged in again: ready, and this time the update goes through.
    EXPECT_EQ("1", updater.control("attach"));
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40000), 10000));
    EXPECT_TRUE(ui::controlEnabled(dialog, 1002));
    startUpdate(dialog);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40032), 180000));
    EXPECT_TRUE(startsWith(updater.flash(1), image));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

// The lead moves while the unit stays plugged in, and no device change comes. Pulled off its
// controller, the unit gets nothing but GetStatus and the window says there is no controller. On a
// unit plugged in again, moved to another controller, the first Update writes nothing and shows
// that controller, the second writes its own image.
TEST(Update, AControllerChangedBehindTheUnitIsShownAndOnlyThenWritten)
{
    std::vector<std::uint8_t> image = carriedImage(157);     // 17 cells, variant 210
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ("0", updater.control("controller 0 state=2"));
    std::size_t before = updater.transcript(0).size();
    startUpdate(dialog);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::instructedHint(40016), 10000));
    EXPECT_FALSE(ui::controlEnabled(dialog, 1002));
    EXPECT_EQ(std::vector<std::string>{"0108"}, commandsFrom(updater.transcript(0), before));

    // Pulled out and plugged in again, the lead back on a controller.
    ASSERT_EQ("0", updater.control("detach 0"));
    ASSERT_EQ("1", updater.control("attach"));
    ASSERT_TRUE(ui::waitForText(dialog, 40015, L"1.16", 10000));
    ASSERT_EQ("1", updater.control("controller 1 type=0x110FA0D2,esc=0x0105"));
    before = updater.transcript(1).size();
    startUpdate(dialog);
    ASSERT_TRUE(ui::waitForText(dialog, 40015, L"1.5", 10000)) << "the panel shows the new controller";
    EXPECT_EQ(e2e::message(40000), ui::controlText(dialog, 40004));
    EXPECT_TRUE(ui::controlEnabled(dialog, 1002));
    EXPECT_EQ((std::vector<std::string>{"0108", "011d", "0122"}), commandsFrom(updater.transcript(1), before));

    startUpdate(dialog);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40032), 180000));
    EXPECT_TRUE(startsWith(updater.flash(1), image)) << "the new controller holds its own image";
    std::vector<std::uint8_t> takenOff = updater.flashTakenOff(1, 0);
    ASSERT_FALSE(takenOff.empty());
    EXPECT_TRUE(std::all_of(takenOff.begin(), takenOff.end(), [](std::uint8_t b) { return b == 0x5A; }))
        << "the first controller was never written";
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

// A unit that takes the erase and never answers it: the window answers throughout, a shutdown
// asked meanwhile is refused, and the failure comes by itself at the exchange's limit, with
// nothing sent after the erase.
TEST(Update, AnEraseTheUnitNeverAnswersFailsByItself)
{
    UpdaterProcess updater("silent_on=0x1E");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    startUpdate(dialog);
    DWORD started = GetTickCount();
    e2e::AnswerProbeRun probe(dialog, 14000, 6000);    // the shutdown's question in the silence
    HWND failure = ui::waitForMessageBox(dialog, 20000);
    DWORD shownAfter = GetTickCount() - started;
    ASSERT_NE(nullptr, failure);
    std::printf("the failure box came %lu ms after the update began\n", static_cast<unsigned long>(shownAfter));
    EXPECT_LT(shownAfter, 12000u) << "within 12 s of the erase request, which comes after the start";
    ui::MessageBoxView view = ui::readMessageBox(failure);
    EXPECT_EQ(e2e::message(40002), view.caption);
    EXPECT_EQ(e2e::message(40028) + L"\r\n", view.text.substr(0, e2e::message(40028).size() + 2));
    EXPECT_NE(std::wstring::npos, view.text.find(L"0xfffffffd-0x000005b4")) << "the reply did not come in time";
    std::string answers;
    EXPECT_EQ(0, probe.finish(30000, answers)) << answers;
    std::printf("%s", answers.c_str());
    expectAnsweredThroughout(answers);
    std::vector<std::string> transcript = updater.transcript(0);
    ASSERT_FALSE(transcript.empty());
    EXPECT_NE(std::string::npos, transcript.back().find(" 011e04")) << "nothing after the erase";
    ui::answerMessageBox(failure, IDOK);
    ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40030), 10000));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}
