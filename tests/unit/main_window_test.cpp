// Start-up, the outcome shown for the unit found at start, and shutdown.
#include "app_fixture.h"

#include <dbt.h>

#include <cstring>
#include <vector>

using win32double::controlEnabled;
using win32double::controlText;

namespace {

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

sim::UnitIdentity controller(std::uint32_t typeCode)
{
    sim::UnitIdentity identity;
    identity.deviceTypeCode = typeCode;
    identity.unitFirmware = 0x00011200;
    identity.bootloaderVersion = 0x00000105;
    identity.escFirmwareVersion = 0x0110;
    return identity;
}

struct StartCase {
    const char* name;
    std::function<void()> plugIn;
    std::function<std::wstring()> hint;
    bool updateEnabled;
    bool unitHeld;
    std::vector<std::wstring> panel;    // the three value labels
    bool panelEnabled;
    std::size_t boxes;
};

const std::vector<std::wstring> emptyPanel = {L"0.0.0", L"0.0.0", L"0.0.0"};
const std::vector<std::wstring> shownPanel = {L"1.18", L"1.5", L"1.16"};

}

TEST_F(AppTest, EachStartOutcomeShowsItsHintButtonPanelAndUnitState)
{
    const StartCase cases[] = {
        {"no unit", [] {}, [] { return instructedHint(40017); }, false, false, emptyPanel, false, 0},
        {"unit in its loader mode", [] {
             sim::UnitIdentity identity = controller(0x140FA0FA);
             identity.bootMode = 1;
             win32double::attachUnit(identity);
         }, [] { return instructedHint(40015); }, false, false, emptyPanel, false, 0},
        {"no updatable controller", [] {
             sim::UnitIdentity identity = controller(0x140FA0FA);
             identity.targetState = 2;
             win32double::attachUnit(identity);
         }, [] { return instructedHint(40016); }, false, false, emptyPanel, false, 0},
        {"accepted controller", [] { win32double::attachUnit(controller(0x140FA0FA)); },
         [] { return message(40000); }, true, true, shownPanel, true, 0},
        {"recognised-only controller", [] { win32double::attachUnit(controller(0x110FA0AA)); },
         [] { return std::wstring(); }, false, true, shownPanel, true, 0},
        {"incompatible controller", [] { win32double::attachUnit(controller(0x12345678)); },
         [] { return instructedHint(40035); }, false, false, emptyPanel, false, 1},
        {"identification failed", [] { win32double::attachUnit(controller(0x140FA0FA)).capsFail = true; },
         [] { return instructedHint(40017); }, false, false, emptyPanel, false, 0},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.plugIn();
        bool held = false;
        EXPECT_EQ(0, runUpdater([&] { held = ConnectedUnit.handle != INVALID_HANDLE_VALUE; }));

        EXPECT_EQ(c.hint(), controlText(40004));
        EXPECT_EQ(c.updateEnabled, controlEnabled(1002));
        EXPECT_EQ(c.unitHeld, held);
        EXPECT_EQ(c.panel, (std::vector<std::wstring>{controlText(40013), controlText(40014), controlText(40015)}));
        for (int id : {40013, 40014, 40015, 40010, 1005, 40011})
            EXPECT_EQ(c.panelEnabled, controlEnabled(id)) << id;
        EXPECT_EQ(c.boxes, win32double::messageBoxes().size());
        TearDown();
    }
}

TEST_F(AppTest, IncompatibleControllerIsClosedBeforeItsBoxAndTheHintFollowsTheBox)
{
    win32double::HidInterface& unit = win32double::attachUnit(controller(0x0A0640AB));
    runUpdater();

    ASSERT_EQ(1u, win32double::messageBoxes().size());
    const auto& shownBox = win32double::messageBoxes()[0];
    EXPECT_EQ(L"With this updater you can only update the firmware of BRELVANT ESCs with the type 'ZEFRAN HVI'. "
              L"Other models are not supported. Please check BRELVANT website (www.brelvant.example) to see if "
              L"there is an updater for your ESC.",
              shownBox.text);
    EXPECT_EQ(message(40033), shownBox.caption);
    EXPECT_EQ(0x40u, shownBox.flags);
    EXPECT_EQ(win32double::lastDialog()->handle, shownBox.owner);

    std::size_t closed = journalIndex("CloseHandle " + narrow(unit.path));
    std::size_t shown = journalIndex("MessageBoxW");
    ASSERT_LT(shown, win32double::journal().size());
    EXPECT_LT(closed, shown);
    const auto& journal = win32double::journal();
    auto box = journal.begin() + static_cast<long>(shown);
    EXPECT_EQ(box, std::find(journal.begin(), box, "SetWindowTextW 40004")) << "the hint must follow the box";
    EXPECT_NE(journal.end(), std::find(box, journal.end(), "SetWindowTextW 40004"));
}

TEST_F(AppTest, WindowGetsItsTitleIconAndRowNames)
{
    runUpdater();
    const win32double::Window* dialog = win32double::lastDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"BRELVANT ZEFRAN HVI FW Updater 1.18 ", dialog->text);
    EXPECT_NE(0, dialog->classIcon);
    EXPECT_TRUE(dialog->everShown);
    EXPECT_EQ(L"programming unit", controlText(40010));
    EXPECT_EQ(L"ESC-bootloader", controlText(1005));
    EXPECT_EQ(L"ESC", controlText(40011));
    EXPECT_EQ(L"Close", controlText(2));
    EXPECT_TRUE(win32double::commonControlsInitialised());
}

TEST_F(AppTest, GermanInterfaceLanguagesGetTheGermanTemplateAndTexts)
{
    struct Case {
        LANGID ui;
        WORD table;
        const wchar_t* close;
    };
    const Case cases[] = {
        {0x0407, german, L"Beenden"},   // Germany
        {0x0C07, german, L"Beenden"},   // Austria: the loader alone would give English
        {0x0807, german, L"Beenden"},   // Switzerland
        {0x0409, english, L"Close"},
        {0x040C, english, L"Close"},    // French: neither language, English
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ui);
        SetUp();
        win32double::setUserInterfaceLanguage(c.ui);
        runUpdater();
        EXPECT_EQ(c.close, controlText(2));
        EXPECT_EQ(message(40039, c.table), controlText(40010));
        EXPECT_EQ(instructedHint(40017, c.table), controlText(40004));
        EXPECT_EQ(L"BRELVANT ZEFRAN HVI FW Updater 1.18 ", win32double::lastDialog()->text);
        TearDown();
    }
}

TEST_F(AppTest, RegistersForHidInterfaceNotificationsToTheDialog)
{
    runUpdater();
    ASSERT_EQ(1u, win32double::notificationRegistrations().size());
    const auto& registration = win32double::notificationRegistrations()[0];
    EXPECT_EQ(static_cast<HANDLE>(win32double::lastDialog()->handle), registration.recipient);
    EXPECT_EQ(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W), registration.size);
    EXPECT_EQ(5u, registration.deviceType);
    const GUID hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    EXPECT_EQ(0, std::memcmp(&hid, &registration.classGuid, sizeof hid));
    EXPECT_EQ(0u, registration.flags);
    EXPECT_FALSE(registration.open) << "released at Close";
}

TEST_F(AppTest, RefusedRegistrationShowsOneErrorBoxAndNeverTheWindow)
{
    win32double::attachUnit(controller(0x140FA0FA));
    win32double::failNotificationRegistration();
    win32double::whileDialogRuns([](HWND) { ADD_FAILURE() << "the dialog must not run"; });

    EXPECT_EQ(0, wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1));
    ASSERT_EQ(1u, win32double::messageBoxes().size());
    EXPECT_EQ(message(40011), win32double::messageBoxes()[0].text);
    EXPECT_EQ(message(40012), win32double::messageBoxes()[0].caption);
    EXPECT_EQ(0x10u, win32double::messageBoxes()[0].flags);
    EXPECT_EQ(1, win32double::lastDialog()->result);
    EXPECT_FALSE(win32double::lastDialog()->everShown);
    EXPECT_TRUE(win32double::createFileCalls().empty()) << "no unit is looked for";
    EXPECT_EQ(std::wstring(), controlText(40004));
}

TEST_F(AppTest, CloseEscapeAndTheCloseBoxReleaseEverythingAlike)
{
    struct Case {
        const char* name;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"Close button", [] { win32double::pressButton(2); }},
        {"Escape", [] { win32double::pressEscape(); }},
        {"close box", [] { win32double::clickCloseBox(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::HidInterface& unit = win32double::attachUnit(controller(0x140FA0FA));
        std::size_t exchangesAtStart = 0;
        win32double::whileDialogRuns([&](HWND) {
            exchangesAtStart = unit.unit->transcript().size();
            c.close();
        });

        EXPECT_EQ(0, wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1));
        EXPECT_EQ(2, win32double::lastDialog()->result);
        EXPECT_FALSE(win32double::notificationRegistrations()[0].open);
        EXPECT_EQ(0u, win32double::openCounts().fileHandles);
        EXPECT_EQ(exchangesAtStart, unit.unit->transcript().size()) << "nothing is sent on Close";
        EXPECT_LT(journalIndex("CloseHandle " + narrow(unit.path)), journalIndex("EndDialog 2"));
        TearDown();
    }
}

TEST_F(AppTest, UpdateButtonIsEnabledOnlyForAnAcceptedController)
{
    win32double::attachUnit(controller(0x110FA0D2));
    runUpdater([] { EXPECT_TRUE(win32double::control(1002)->enabled); });
    const auto& journal = win32double::journal();
    EXPECT_EQ(1, std::count(journal.begin(), journal.end(), "EnableWindow 1002 1"));
    EXPECT_EQ(0, std::count(journal.begin(), journal.end(), "EnableWindow 1002 0"));
}

// A second updater, started while one runs, touches no unit and shows nothing: the first one's
// window comes to the front where it can be found, and the second ends with exit code 0.
TEST_F(AppTest, ASecondUpdaterHandsOverToTheFirstAndEnds)
{
    const std::wstring lock = L"Global\\ZEFRAN-HVI-Updater.OneAtATime";   // one per PC, every session
    struct Case {
        const char* name;
        bool otherSession;
        std::vector<std::string> journal;
    };
    const Case cases[] = {
        {"another updater of this user: brought to the front", false, {"SetForegroundWindow another program"}},
        {"another user's updater: nothing to bring forward", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win32double::attachUnit(controller(0x140FA0FA));
        HWND first = win32double::runAnotherUpdater(lock, c.otherSession);
        win32double::whileDialogRuns([](HWND) { ADD_FAILURE() << "the dialog must not run"; });
        EXPECT_EQ(0, wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1));
        EXPECT_EQ(c.journal, win32double::journal()) << "no window, no unit, nothing else";
        EXPECT_TRUE(win32double::createFileCalls().empty());
        EXPECT_EQ(first, GetForegroundWindow());
        TearDown();
    }
    SetUp();
    runUpdater();
    EXPECT_EQ(std::vector<std::wstring>{lock}, win32double::mutexNames()) << "the first takes the lock; teardown sees it closed";
}
