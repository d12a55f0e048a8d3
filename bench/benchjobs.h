#pragma once

#include "morvenda/core/jobrec.h"

/// A job table of N jobs with realistic fields: twelve groups, one to three
/// dependencies each, end-of-job messages, date variables, times and
/// trigger files (element 0 empty).
JobTable BenchJobs(int N);

/// Runs the benchmarks the command line selects (the application object
/// already made), with message boxes written to standard error instead of
/// waiting for an answer. Returns main's exit status.
int RunBenchmarks(int argc, char** argv);
