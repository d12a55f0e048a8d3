#include "common/constants.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmColSel.h"
#include "morvenda/windows/frmLGrid.h"
#include "morvenda/windows/frmMain.h"
#include "morvenda/windows/frmSched.h"
#include "tests/support/accessible.h"
#include "tests/support/testing.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

// Each window of the scheduler walked through the accessibility interface:
// every button, box and field is found by the caption or label the operator
// reads, and no control is left without a name.

namespace {

using R = QAccessible::Role;

struct Expected {
    R role;
    const char* name;
};

struct Window {
    const char* what;
    std::function<std::unique_ptr<QWidget>()> make;
    std::vector<Expected> controls;
};

TEST(Accessibility, EveryControlOfTheSchedulerIsFoundByItsName) {
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    InstallDemo(dir);
    ResetState();
    JobTableChanged();

    const Window windows[] = {
        {"start-up window",
         [&] {
             auto w = std::make_unique<frmMain>();
             w->Form_Load(dir.path(S("DEMO/DEMO.ini,TEMP")));
             return std::unique_ptr<QWidget>(std::move(w));
         },
         {{R::PushButton, "Launch Schedule"},
          {R::PushButton, "Edit Schedule"},
          {R::PushButton, "View Log"},
          {R::PushButton, "Calendar"},
          {R::PushButton, "Help"},
          {R::PushButton, "Exit"},
          {R::CheckBox, "Start Suspended"},
          {R::CheckBox, "Serialise DOS Jobs"},
          {R::CheckBox, "Dummy Run"},
          {R::CheckBox, "Show Events"},
          {R::EditableText, "Run Date"},
          {R::SpinBox, "Run Date Up Down"}}},
        {"execution window",
         [] { return std::make_unique<frmSched>(true, nullptr); },
         {{R::PushButton, "Kick"},
          {R::PushButton, "Kick Int"},
          {R::PushButton, "Mod Sched"},
          {R::PushButton, "Next Day"},
          {R::PushButton, "Exit"},
          {R::PushButton, "Help"},
          {R::PushButton, "Show Events/Unsubmitted Job Status"},
          {R::CheckBox, "Ignore CPU Limit"},
          {R::List, "Progress"},
          {R::List, "Untriggered Events"},
          {R::List, "Unsubmitted Job Status"}}},
        {"schedule grid",
         [] { return std::make_unique<frmLGrid>(); },
         {{R::PushButton, "New"},
          {R::PushButton, "Modify"},
          {R::PushButton, "Delete"},
          {R::PushButton, "Copy"},
          {R::PushButton, "Paste New"},
          {R::PushButton, "Skip Today"},
          {R::PushButton, "Editing"},
          {R::PushButton, "Top"},
          {R::PushButton, "Up 1"},
          {R::PushButton, "Down 1"},
          {R::PushButton, "Bottom"},
          {R::PushButton, "Close"},
          {R::ComboBox, "Group"},
          {R::ComboBox, "View Profile"},
          {R::Table, "Jobs"}}},
        {"column dialog",
         [] { return std::make_unique<frmColSel>(); },
         {{R::PushButton, "Selected to Displayed"},
          {R::PushButton, "All to Displayed"},
          {R::PushButton, "Selected to Undisplayed"},
          {R::PushButton, "All to Undisplayed"},
          {R::PushButton, "Up 1"},
          {R::PushButton, "Down 1"},
          {R::PushButton, "Apply"},
          {R::PushButton, "Delete"},
          {R::PushButton, "OK"},
          {R::PushButton, "Cancel"},
          {R::PushButton, "Help"},
          {R::EditableText, "Width"},
          {R::ComboBox, "Alignment"},
          {R::EditableText, "Profile Name"},
          {R::List, "Displayed Fields"},
          {R::List, "Undisplayed Fields"}}},
    };
    for (const Window& w : windows) {
        const std::unique_ptr<QWidget> window = w.make();
        const std::vector<AccessibleControl> found = AccessibleControls(window.get());
        for (const Expected& e : w.controls)
            EXPECT_NE(FindAccessible(found, e.role, S(e.name)), nullptr) << w.what << ": " << e.name;
        for (const AccessibleControl& c : found) {
            // A combo box's name is its current text; its label names it.
            if (c.role == R::ComboBox) {
                EXPECT_FALSE(c.label.isEmpty()) << w.what << ": " << c.objectName.toStdString();
                continue;
            }
            EXPECT_FALSE(c.name.isEmpty()) << w.what << ": " << c.objectName.toStdString();
            EXPECT_FALSE(c.name.contains(QLatin1Char('&')) || c.name.contains(QLatin1Char(':')))
                << w.what << ": " << c.name.toStdString();
        }
    }
    ResetState();
    JobTableChanged();
}

}  // namespace
