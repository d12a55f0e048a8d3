#include "common/constants.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmColSel.h"
#include "morvenda/windows/frmLGrid.h"
#include "morvenda/windows/frmMain.h"
#include "morvenda/windows/frmSched.h"
#include "tests/support/accessible.h"
#include "tests/support/statefixture.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

// Each window of the scheduler walked through the accessibility interface:
// every button, box and field is found by the caption or label the operator
// reads, and no control is left without a name.

namespace {

using R = QAccessible::Role;

// The controls a window must have, by role.
struct Window {
    const char* what;
    std::function<std::unique_ptr<QWidget>()> make;
    std::vector<std::pair<R, std::vector<const char*>>> controls;
};

using Accessibility = SchedulerStateTest;

TEST_F(Accessibility, EveryControlOfTheSchedulerIsFoundByItsName) {
    InstallDemo(dir);
    const Window windows[] = {
        {"start-up window",
         [&] {
             auto w = std::make_unique<frmMain>();
             w->Form_Load(dir.path(S("DEMO/DEMO.ini,TEMP")));
             return std::unique_ptr<QWidget>(std::move(w));
         },
         {{R::PushButton, {"Launch Schedule", "Edit Schedule", "View Log", "Calendar", "Help", "Exit"}},
          {R::CheckBox, {"Start Suspended", "Serialise DOS Jobs", "Dummy Run", "Show Events"}},
          {R::EditableText, {"Run Date"}},
          {R::SpinBox, {"Run Date Up Down"}}}},
        {"execution window",
         [] { return std::make_unique<frmSched>(true, nullptr); },
         {{R::PushButton,
           {"Kick", "Kick Int", "Mod Sched", "Next Day", "Exit", "Help", "Show Events/Unsubmitted Job Status"}},
          {R::CheckBox, {"Ignore CPU Limit"}},
          {R::List, {"Progress", "Untriggered Events", "Unsubmitted Job Status"}}}},
        {"schedule grid",
         [] { return std::make_unique<frmLGrid>(); },
         {{R::PushButton,
           {"New", "Modify", "Delete", "Copy", "Paste New", "Skip Today", "Editing", "Top", "Up 1", "Down 1", "Bottom",
            "Close"}},
          {R::ComboBox, {"Group", "View Profile"}},
          {R::Table, {"Jobs"}}}},
        {"column dialog",
         [] { return std::make_unique<frmColSel>(); },
         {{R::PushButton,
           {"Selected to Displayed", "All to Displayed", "Selected to Undisplayed", "All to Undisplayed", "Up 1",
            "Down 1", "Apply", "Delete", "OK", "Cancel", "Help"}},
          {R::EditableText, {"Width", "Profile Name"}},
          {R::ComboBox, {"Alignment"}},
          {R::List, {"Displayed Fields", "Undisplayed Fields"}}}},
    };
    for (const Window& w : windows) {
        const std::unique_ptr<QWidget> window = w.make();
        const std::vector<AccessibleControl> found = AccessibleControls(window.get());
        for (const auto& [role, names] : w.controls)
            for (const char* name : names)
                EXPECT_NE(FindAccessible(found, role, S(name)), nullptr) << w.what << ": " << name;
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
}

}  // namespace
