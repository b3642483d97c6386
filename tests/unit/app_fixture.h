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
#include <string>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        startFresh();
    }

    void TearDown() override
    {
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

    static std::size_t journalIndex(const std::string& line)
    {
        const auto& journal = win32double::journal();
        return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), line) - journal.begin());
    }
};
