#pragma once

#include "common/clock.h"
#include "morvenda/core/jobrec.h"

#include <vector>

/// A job table of N jobs with realistic fields: twelve groups, one to three
/// dependencies each, end-of-job messages, date variables, times and
/// trigger files (element 0 empty).
JobTable BenchJobs(int N);

/// Prerequisites of jobs 1 to N of a DAG (element 0 empty): up to three
/// distinct earlier jobs each, drawn from a fixed seed.
std::vector<std::vector<int>> MakeDag(int N);

/// The name of job k of the DAG: "J" and k in four digits ("J0042").
QString DagName(int k);

/// The jobs of the DAG deps (MakeDag): job k runs `true` once its
/// prerequisites succeeded, in group "DAG" (element 0 empty).
JobTable DagJobs(const std::vector<std::vector<int>>& deps);

/// A fresh scheduler state for the DAG's schedule "DAG" with its files in
/// root ("DAG.sch", "DAG.ini", the run log LogName, trigger and tracker files
/// in root itself): run date today by the clock set, no day start, one second
/// of start-up grace.
void UseDagSchedule(const QString& root, const QString& LogName);

/// Runs the benchmarks the command line selects (the application object
/// already made), with message boxes written to standard error instead of
/// waiting for an answer. Returns main's exit status.
int RunBenchmarks(int argc, char** argv);

/// A clock for a run driven as fast as the machine goes: each step() moves it
/// on by the given number of seconds from the moment it was made, so every
/// job's start-up grace is over at the next pass.
class SteppingClock : public Clock {
public:
    explicit SteppingClock(int secondsPerStep) : secondsPerStep_(secondsPerStep) {}
    DateVal now() const override { return WallOf(real(), zone()); }
    qint64 nowReal() const override { return real(); }
    QTimeZone zone() const override { return system_.zone(); }
    void step() { ++step_; }
    /// On to a real moment (the next run date's morning).
    void jumpTo(qint64 real) {
        base_ = real;
        step_ = 0;
    }

private:
    qint64 real() const { return base_ + step_ * secondsPerStep_; }
    SystemClock system_;
    int secondsPerStep_;
    qint64 base_ = SystemClock().nowReal();
    qint64 step_ = 0;
};

/// This process's own CPU so far (user and system), in milliseconds; its
/// children are not in it.
double SelfCpuMs();
