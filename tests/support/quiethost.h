#pragma once

#include "morvenda/startup/startup.h"

/// A start-up host without windows: no splash, no first-run window.
class QuietHost : public StartupHost {
public:
    void showSplash() override {}
    void hideSplash() override {}
    QString firstRunFile() override { return QString(); }
};
