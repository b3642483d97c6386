// Units pulled out and refusing under Wine's own HID stack: the notifications come from Wine's
// PnP manager, and a removal ends a read the updater is waiting in.
#include "bare_client.h"
#include "expected_texts.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <gtest/gtest.h>
#include <setupapi.h>

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

bool removeBehindTheHostsBack(const wchar_t* instanceId)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
    bool removed = set != INVALID_HANDLE_VALUE && SetupDiOpenDeviceInfoW(set, instanceId, nullptr, 0, &device) &&
                   SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
    if (set != INVALID_HANDLE_VALUE)
        SetupDiDestroyDeviceInfoList(set);
    return removed;
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

    // A device removed behind the host's back: detach cannot remove it, and says so.
    ASSERT_TRUE(removeBehindTheHostsBack(L"ROOT\\VID_21B8&PID_0001\\0001"));
    EXPECT_EQ("error ", updater.control("detach 1").substr(0, 6));
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

namespace {

// The failure box of the lock, the first exchange after identification and the same three
// exchanges again, with its write failed; nullptr when none came within timeoutMs of the confirmation.
HWND lockFailure(HWND dialog, DWORD timeoutMs, double& confirmedAt)
{
    if (!ui::clickAndConfirm(dialog, 1002))
        return nullptr;
    confirmedAt = nowMs();
    HWND failure = ui::waitForMessageBox(dialog, timeoutMs);
    if (failure == nullptr)
        return nullptr;
    std::wstring text = ui::readMessageBox(failure).text;
    EXPECT_EQ(e2e::message(40026) + L"\r\n", text.substr(0, e2e::message(40026).size() + 2));
    EXPECT_NE(std::wstring::npos, text.find(L"0xfffffffe-0x")) << "the lock's write failed";
    return failure;
}

bool unitGone(const UpdaterProcess& updater, int unit, DWORD timeoutMs)
{
    // Appended rather than "literal" + std::string: i686 GCC 12 warns falsely (-Wrestrict) on that.
    std::string number = std::to_string(unit), gone = "error no unit ";
    gone += number;
    gone += " is attached";
    for (double started = nowMs(); nowMs() - started < timeoutMs; Sleep(50))
        if (updater.control("clients " + number) == gone)
            return true;
    return false;
}

}

// The lock's write fails: refused by the unit, which the updater then lets go, or because the
// host's side of the link goes wrong, at once or when the host has held its answer for 5 s. The
// updater is never left waiting; the host removes a unit whose link failed, and says why.
TEST(HotPlug, AFailedLockWriteIsReportedAndABadLinkRemovesTheUnit)
{
    struct Row {
        const char* units;
        const char* transcriptNote;
        const char* logged;
        double atLeastMs;
    };
    const Row rows[] = {
        {"write_fails_on=0x0B", "fault:write-fails", nullptr, 0},
        {"short_reply_at_exchange=7", "link:short-reply", "unit 0: the driver gave up on the link: an answer that does not fit the request; the unit is removed", 0},
        {"wrong_answer_at_exchange=7", "link:wrong-answer", "unit 0: the driver gave up on the link: an answer that does not fit the request; the unit is removed", 0},
        {"break_at_exchange=7", "link:broken-pipe", "unit 0: ended the link at exchange 7, as its description says; the unit is removed", 0},
        {"stall_at_exchange=7", "link:stall", "unit 0: the driver gave up on the link: no answer within 5000 ms; the unit is removed", 5000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.units);
        UpdaterProcess updater(row.units);
        HWND dialog = updater.window();
        ASSERT_NE(nullptr, dialog);
        double confirmed = 0;
        HWND failure = lockFailure(dialog, 15000, confirmed);
        ASSERT_NE(nullptr, failure);
        double failedAfter = nowMs() - confirmed;
        std::printf("%s: the lock failed %.0f ms after the confirmation\n", row.units, failedAfter);
        EXPECT_GE(failedAfter, row.atLeastMs - 100);
        EXPECT_LT(failedAfter, row.atLeastMs + 3000);
        EXPECT_TRUE(transcriptHas(updater, row.transcriptNote));
        ui::answerMessageBox(failure, IDOK);
        if (row.logged == nullptr) {
            EXPECT_EQ(0, updater.clients(0)) << "the failed unit was let go";
        } else {
            EXPECT_TRUE(unitGone(updater, 0, 10000));
            EXPECT_NE(std::string::npos, updater.hostLog().find(row.logged)) << updater.hostLog();
        }
        ui::postClose(dialog);
        EXPECT_EQ(0, updater.waitForExit());
    }
}

// The unit is pulled out while the updater waits: for the fifth block's reply, which the unit
// never gives (the pull comes well within the exchange's 10 s limit), or for the write of the
// lock while the driver waits for the host's answer. The removal waits for
// neither, the waiting call fails at once, and the driver serves the next unit.
TEST(HotPlug, RemovalEndsAnExchangeTheUpdaterIsWaitingIn)
{
    struct Row {
        const char* units;
        const char* transcriptNote;
        DWORD message;
        const wchar_t* code;
    };
    const Row rows[] = {
        {"silent_at_block=5", "fault:silent", 40009, L"0xfffffffd-0x"},     // the read failed
        {"stall_at_exchange=7", "link:stall", 40026, L"0xfffffffe-0x"},     // the write failed
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.units);
        UpdaterProcess updater(row.units);
        HWND dialog = updater.window();
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(ui::clickAndConfirm(dialog, 1002));
        for (double started = nowMs(); !transcriptHas(updater, row.transcriptNote) && nowMs() - started < 20000;)
            Sleep(20);
        ASSERT_TRUE(transcriptHas(updater, row.transcriptNote));
        // The driver gives up on a stalled host 5 s after the stall: the pull comes well before.
        EXPECT_EQ(nullptr, ui::waitForMessageBox(dialog, 1000)) << "the updater still waits";

        double pulled = nowMs();
        ASSERT_EQ("0", updater.control("detach 0"));
        double removedAfter = nowMs() - pulled;
        HWND failure = ui::waitForMessageBox(dialog, 10000);
        ASSERT_NE(nullptr, failure);
        double failedAfter = nowMs() - pulled;
        std::printf("%s: the unit was removed %.0f ms and the failure shown %.0f ms after the pull\n", row.units,
                    removedAfter, failedAfter);
        EXPECT_LT(removedAfter, 2500.0) << "the removal does not wait for the host";
        EXPECT_LT(failedAfter, 2500.0) << "nor does the waiting call";
        std::wstring text = ui::readMessageBox(failure).text;
        EXPECT_EQ(e2e::message(row.message) + L"\r\n", text.substr(0, e2e::message(row.message).size() + 2));
        EXPECT_NE(std::wstring::npos, text.find(row.code));
        ui::answerMessageBox(failure, IDOK);

        ASSERT_EQ("1", updater.control("attach"));
        EXPECT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40000), 10000)) << "the driver serves the next unit";
        ui::postClose(dialog);
        EXPECT_EQ(0, updater.waitForExit());
    }
}

// The host dies mid-transfer: the block's write fails at once, and the next host removes the
// dead one's device before its own unit 0 takes its place.
TEST(HotPlug, AHostKilledMidTransferFailsTheUpdateAndTheNextHostStartsClean)
{
    UpdaterProcess updater("");
    HWND dialog = updater.window();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(ui::clickAndConfirm(dialog, 1002));
    for (double started = nowMs(); updater.transcript(0).size() < 3 + 4 + 50 && nowMs() - started < 30000;)
        Sleep(20);
    ASSERT_GE(updater.transcript(0).size(), 3u + 4u + 50u) << "fifty blocks written";

    double killed = nowMs();
    updater.killHost();
    HWND failure = ui::waitForMessageBox(dialog, 10000);
    ASSERT_NE(nullptr, failure);
    double failedAfter = nowMs() - killed;
    std::printf("the failure was shown %.0f ms after the host was killed\n", failedAfter);
    EXPECT_LT(failedAfter, 2000.0);
    std::wstring text = ui::readMessageBox(failure).text;
    EXPECT_EQ(e2e::message(40009) + L"\r\n", text.substr(0, e2e::message(40009).size() + 2));
    EXPECT_NE(std::wstring::npos, text.find(L"0xfffffffe-0x")) << "a block's write failed";
    ui::answerMessageBox(failure, IDOK);

    ASSERT_TRUE(updater.restartHost(""));
    EXPECT_NE(std::string::npos, updater.hostLog().find("removed 1 unit(s) an earlier host left in the prefix"));
    EXPECT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40000), 10000));
    EXPECT_EQ(1, updater.clients(0)) << "the new host's first unit is unit 0, and the updater holds it";
    ui::postClose(dialog);
    EXPECT_EQ(0, updater.waitForExit());
}

// Two units exchanging at once, each with a bare client: unit 0's host holds its 50th answer, and
// unit 1 keeps its own timing all the while. Then two clients share unit 1.
namespace {

// Thread bodies are stdcall on x86: named functions rather than lambdas.
DWORD WINAPI statusRequestsUntilStalled(LPVOID path)
{
    e2e::BareRun run = e2e::bareStatusRequests(*static_cast<std::wstring*>(path), 100);
    return run.ok ? 0 : static_cast<DWORD>(run.roundTripsMs.size());
}

struct StatusClient {
    std::wstring path;
    e2e::BareRun run;
};

DWORD WINAPI statusRequests(LPVOID client)
{
    auto* c = static_cast<StatusClient*>(client);
    c->run = e2e::bareStatusRequests(c->path, 200);
    return 0;
}

}

TEST(HotPlug, AUnitWhoseHostStallsHoldsUpNoOtherUnitAndTwoHandlesWedgeNothing)
{
    UpdaterProcess updater("none");
    ASSERT_EQ("0", updater.control("attach stall_at_exchange=50"));
    ASSERT_EQ("1", updater.control("attach"));
    std::wstring stalled = e2e::unitInterfacePath(0), other = e2e::unitInterfacePath(1);
    ASSERT_FALSE(stalled.empty());
    ASSERT_FALSE(other.empty());

    HANDLE thread = CreateThread(nullptr, 0, statusRequestsUntilStalled, &stalled, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    for (double started = nowMs(); !transcriptHas(updater, "link:stall") && nowMs() - started < 10000;)
        Sleep(5);
    ASSERT_TRUE(transcriptHas(updater, "link:stall"));
    e2e::BareRun otherRun = e2e::bareStatusRequests(other, 300);
    bool stalledStillWaiting = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 15000)) << "the stalled unit's write ends";
    DWORD stalledAnswered = 0;
    GetExitCodeThread(thread, &stalledAnswered);
    CloseHandle(thread);

    std::printf("unit 1 beside a stalled unit 0: 300 exchanges in %.0f ms, longest %.1f ms\n", otherRun.totalMs,
                e2e::percentile(otherRun.roundTripsMs, 1.0));
    EXPECT_TRUE(otherRun.ok);
    EXPECT_TRUE(stalledStillWaiting) << "unit 1 ran while unit 0 waited for its host";
    EXPECT_LT(e2e::percentile(otherRun.roundTripsMs, 1.0), 500.0);
    // The updater beside them identified unit 0 first, with exchanges of its own.
    EXPECT_TRUE(stalledAnswered > 40 && stalledAnswered < 50) << stalledAnswered << ": unit 0 failed at its stall";

    // Two handles on unit 1, each writing: every reply reaches both, and neither client waits for good.
    StatusClient first = {other, {}}, second = {other, {}};
    HANDLE threads[2] = {CreateThread(nullptr, 0, statusRequests, &first, 0, nullptr),
                         CreateThread(nullptr, 0, statusRequests, &second, 0, nullptr)};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 20000)) << "two handles on one unit wedged";
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    std::printf("two handles on unit 1: 200 exchanges each in %.0f and %.0f ms\n", first.run.totalMs, second.run.totalMs);
    EXPECT_TRUE(first.run.ok && second.run.ok);
}
