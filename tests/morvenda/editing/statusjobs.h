#pragma once

#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/testing.h"

// Jobs for the reschedule tests, whose run state the status decision derives
// from their times and flags.

struct StatusJob {
    const char* name;
    const char* group = "G";
    const char* freq = "Daily";
    const char* flag = " ";
    DateVal started = {};
    DateVal completed = {};
    bool killed = false;
    const char* after = nullptr;  // one prerequisite that must succeed
};

/// Appends the job to G.Jobs, evaluates its state and returns its index.
inline int AddStatusJob(const StatusJob& s) {
    return JobBuilder(S(s.name))
        .group(S(s.group))
        .frequency(S(s.freq))
        .flag(S(s.flag))
        .ran(s.started, s.completed, s.killed)
        .after(S(s.after))
        .with([](JobRec& j) { j.LastDuration = 30; })
        .addEvaluated();
}
