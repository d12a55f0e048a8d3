#pragma once

#include "tests/support/testing.h"

#include <QString>

#include <gtest/gtest.h>

// The set-up the scheduler's tests share: its program state, files and jobs.

/// A fresh scheduler state whose files lie in Dir: the configuration
/// "sched.ini" (TimerSecs=30), the schedule "sched.sch" and the run log
/// "yyyymmdd.log", with a CPU limit of 9999. Fixtures set what else they need
/// after it.
void UseTempScheduler(const TempDir& Dir);

/// Appends a job to the table (frequency "Daily", group "General", a last
/// duration of 30 seconds); returns its index.
/// After lists its prerequisites, comma-separated, with the condition letters
/// Letters (default: each must succeed).
int AddJob(const QString& Name, const QString& Command, const QString& After = QString(),
           const QString& Letters = QString());

/// A test on the scheduler's program state, started afresh before and after
/// it, with a temporary folder, settings in a folder of their own
/// (XDG_CONFIG_HOME), a fake clock at 10:00 on Tuesday 8 Dec 2026 and a
/// scripted prompter. Fixtures add what else they need in their SetUp.
class SchedulerStateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Run date Tuesday 8 Dec 2026, its day starting at DayStart (default:
    /// at midnight).
    static void UseRunDate(DateVal DayStart = DateVal::fromDate(2026, 12, 8));
    /// The program state afresh on that run date, schedule File loaded.
    static void LoadScheduleFrom(const QString& File);

    TempDir dir;
    TempDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().toLocal8Bit()};
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
    ScriptedPrompter prompts;
};
