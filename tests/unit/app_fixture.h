// Runs the updater's entry point against the double: a clean double, empty globals, and a
// check afterwards that nothing was left open.
#pragma once

#include "app_state.h"
#include "classification.h"
#include "connected_unit.h"
#include "fresh_updater.h"
#include "message_texts.h"
#include "resource_reading.h"
#include "win32_double.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        startFresh();
    }

    void TearDown() override
    {
        expectBoxesOwnedWithTheirIconsAndButtons();
        closeDevice();
        EXPECT_EQ(win32double::OpenCounts{}, win32double::openCounts()) << "something was left open";
        EXPECT_FALSE(win32double::dialogLeftRunning()) << "the script did not close the dialog";
        win32double::reset();
    }

    // Starts the updater; while its dialog runs, look() sees it, then the user presses Close.
    int runUpdater(std::function<void()> look = [] {})
    {
        win32double::whileDialogRuns([look](HWND) {
            look();
            win32double::pressButton(2);
        });
        return wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L"/ignored --args"), 1);
    }

    // A hint as showHint composes it: the status message, a blank line, the instructions.
    static std::wstring instructedHint(unsigned messageId, WORD language = english)
    {
        return expected::instructedHintText(messageId, language);
    }

    static std::wstring message(unsigned messageId, WORD language = english)
    {
        return expected::messageText(messageId, language);
    }

    // Every box the test saw, by its caption: owned by the main window, with its icon and buttons.
    static void expectBoxesOwnedWithTheirIconsAndButtons()
    {
        std::map<std::wstring, UINT> flagsByCaption;
        for (WORD language : {english, german}) {
            flagsByCaption[message(40002, language)] = 0x10;   // an update failed: error icon, OK
            flagsByCaption[message(40012, language)] = 0x10;   // the registration failed
            flagsByCaption[message(40033, language)] = 0x40;   // an incompatible controller: information, OK
            flagsByCaption[message(40037, language)] = 0x31;   // before the update: warning, OK and Cancel
            flagsByCaption[message(40025, language)] = 0x34;   // no newer firmware: warning, Yes and No
        }
        const win32double::Window* dialog = win32double::lastDialog();
        for (const auto& box : win32double::messageBoxes()) {
            auto flags = flagsByCaption.find(box.caption);
            ASSERT_NE(flagsByCaption.end(), flags) << "a box with another caption";
            EXPECT_EQ(flags->second, box.flags) << "the box captioned " << testing::PrintToString(box.caption);
            EXPECT_EQ(dialog != nullptr ? dialog->handle : nullptr, box.owner) << "owned by the main window";
        }
    }

    static std::size_t journalIndex(const std::string& line)
    {
        const auto& journal = win32double::journal();
        return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), line) - journal.begin());
    }
};
