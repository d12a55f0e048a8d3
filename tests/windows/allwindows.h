#pragma once

#include "tests/support/statefixture.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// Every window of every program, for the tests that check them all alike.
// A window added to a program is checked by adding its factory to
// AllWindows().

/// A window to open: its objectName and how to make it. A factory may make a
/// holder that shows other top-level windows (the genie's pages, the
/// holidays editor); the holder itself stays hidden.
struct WindowFactory {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
};

/// Every window of the six programs, each with the content it shows in use.
std::vector<WindowFactory> AllWindows();

/// The window AllWindows() made under Name: the factory's own window, or the
/// visible top-level window of that objectName a holder showed; null when
/// neither exists.
QWidget* WindowNamed(QWidget* Made, const char* Name);

/// What the windows need: a schedule configuration, a run date and a log in a
/// temporary folder, besides what every state test has.
class AllWindowsTest : public SchedulerStateTest {
protected:
    void SetUp() override;
};
