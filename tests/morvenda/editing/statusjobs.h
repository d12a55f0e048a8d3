#pragma once

#include "morvenda/core/dependency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"
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
    JobRec j;
    j.JobName = S(s.name);
    j.Group = S(s.group);
    j.Frequency = S(s.freq);
    j.SchedFlag = S(s.flag);
    j.Started = s.started;
    j.Completed = s.completed;
    j.Killed = s.killed;
    j.LastDuration = 30;
    if (s.after) {
        j.RunAfter = QStringList{S(s.after)};
        j.RunAfterStatus = S("S");
        j.RunAfterUnsched = S("N");
    }
    G.Jobs.push_back(j);
    JobTableChanged();
    SetJobStatus(JobCount());
    return JobCount();
}
