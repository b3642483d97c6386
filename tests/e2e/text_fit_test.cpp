// Every caption of the window fits its control, in the user's language and in every state the
// window can be in: no label cut, no row name wrapped away.
#include "expected_texts.h"
#include "text_fit.h"
#include "ui_driver.h"
#include "updater_process.h"

#include <gtest/gtest.h>

using e2e::UpdaterProcess;

TEST(Language, EveryCaptionFitsItsControlInEveryState)
{
    struct State {
        const char* name;
        const char* units;
        bool failUpdate;                    // press Update and let the lock fail
    };
    // A controller holding 1.18 shows the texts of the window after an update.
    const State states[] = {
        {"no unit", "none", false},
        {"ORBIPAD, as after an update", "pid=1,esc=0x0112", false},
        {"BENCH-BOX", "", false},
        {"after a failure", "error_on=0x0B:0x0105", true},
    };
    for (const State& state : states) {
        SCOPED_TRACE(state.name);
        UpdaterProcess updater(state.units);
        HWND dialog = updater.window();
        ASSERT_NE(nullptr, dialog);
        if (state.failUpdate) {
            ASSERT_TRUE(ui::clickAndConfirm(dialog, 1002));
            HWND failure = ui::waitForMessageBox(dialog, 10000);
            ASSERT_NE(nullptr, failure);
            ui::answerMessageBox(failure, IDOK);
            ASSERT_TRUE(ui::waitForText(dialog, 40004, e2e::message(40030), 10000));
        }
        EXPECT_EQ(std::vector<std::string>{}, e2e::textsThatDoNotFit(dialog));
        ui::postClose(dialog);
        EXPECT_EQ(0, updater.waitForExit());
    }
}
