#pragma once

#include "tests/support/testing.h"

/// A fresh scheduler state whose files lie in Dir: the configuration
/// "sched.ini" (TimerSecs=30), the schedule "sched.sch" and the run log
/// "yyyymmdd.log", with a CPU limit of 9999. Fixtures set what else they need
/// after it.
void UseTempScheduler(const TempDir& Dir);

struct JobRec;

/// Appends a job to the table (frequency "Daily", group "General", a last
/// duration of 30 seconds) and tells the dependency index; returns its index.
/// After lists its prerequisites, comma-separated, with the condition letters
/// Letters (default: each must succeed).
int AddJob(const QString& Name, const QString& Command, const QString& After = QString(),
           const QString& Letters = QString());
