// The scheduler's own CPU per job over a whole run, beside make's on the same
// work. A DAG of 1,000 jobs that each run `true` and wait for up to three
// earlier jobs is run from start to "Schedule Completed" through the
// execution logic with real processes, a run log, tracker files and the
// schedule saved as in a real run; the scheduler's CPU is getrusage of this
// process (its children, the jobs, excluded). Then `make -j8` runs the same
// DAG from a makefile; its own CPU is what wait4 reports for it less what the
// same number of `true` processes cost when started from here.
//
// Reported as counters: scheduler_ms_per_job, make_ms_per_job, passes.

#include "bench/benchjobs.h"
#include "common/clock.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kJobs = 1000;

double CpuMs(const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

double ChildrenCpuMs() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return CpuMs(r);
}

// Runs argv and waits for it; its rusage (with its own reaped children).
rusage RunAndWait(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    rusage r{};
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return r;
    int status = 0;
    wait4(pid, &status, 0, &r);
    return r;
}

void BM_DagRun(benchmark::State& state) {
    const std::vector<std::vector<int>> deps = MakeDag(kJobs);
    double schedulerMs = 0;
    double makeMs = 0;
    int passes = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString root = dir.path();
        SteppingClock clock(60);  // a minute a pass
        setClock(&clock);
        UseDagSchedule(root, QStringLiteral("DAG.log"));
        G.Jobs = DagJobs(deps);
        SetStartTimes();
        NullExecView view;
        Execution exec(view);
        exec.gTimerSecs = 1;

        const double before = SelfCpuMs();
        passes = 0;
        while (!G.gSchedComplete && passes < 100000) {
            exec.cmdKick_Click();
            ++passes;
            clock.step();
            // The jobs run meanwhile, as between the timer's passes.
            ::usleep(2000);
        }
        schedulerMs = SelfCpuMs() - before;
        setClock(nullptr);
        if (!G.gSchedComplete) state.SkipWithError("the schedule did not complete");

        // The same DAG for make: what `true` costs as a process, then make.
        const double childrenBefore = ChildrenCpuMs();
        for (int k = 1; k <= kJobs; ++k) RunAndWait({"/bin/true"});
        const double trueMs = ChildrenCpuMs() - childrenBefore;
        QFile mk(root + QStringLiteral("/Makefile"));
        if (!mk.open(QIODevice::WriteOnly)) state.SkipWithError("cannot write the makefile");
        QByteArray text = ".PHONY: all";
        for (int k = 1; k <= kJobs; ++k) text += " " + DagName(k).toUtf8();
        text += "\nall:";
        for (int k = 1; k <= kJobs; ++k) text += " " + DagName(k).toUtf8();
        text += "\n";
        for (int k = 1; k <= kJobs; ++k) {
            text += DagName(k).toUtf8() + ":";
            for (const int p : deps[static_cast<size_t>(k)]) text += " " + DagName(p).toUtf8();
            text += "\n\t@/bin/true\n";
        }
        mk.write(text);
        mk.close();
        const rusage r = RunAndWait({"make", "-s", "-j8", "-C", root.toStdString(), "all"});
        makeMs = CpuMs(r) - trueMs;
        ResetState();
    }
    state.counters["scheduler_ms_per_job"] = schedulerMs / kJobs;
    state.counters["make_ms_per_job"] = makeMs / kJobs;
    state.counters["passes"] = passes;
}

BENCHMARK(BM_DagRun)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
