// The scheduler as the operator runs it: the execution window (on the display
// Qt is given, e.g. Xvfb's, else offscreen) runs a DAG of 1,000 jobs that each
// run `true` and wait for up to three earlier jobs, from its first pass to
// "Schedule Completed", with a run log, tracker files and the schedule saved
// as in a real run; then nine more run dates (Next Day) of the same schedule.
// Kick is pressed every 2 ms of real time (the timer's passes come as well);
// the clock moves on by two seconds at each press, so every job's start-up
// grace is over at the next one, and to the next day for each Next Day.
//
// Counters: scheduler_ms_per_job (this process's own CPU over the first run
// date per job, its children the jobs excluded), later_ms_per_job (the same
// over the later run dates, with the date changes: the tracker files are
// there by then, as in an installation that has run before), rss_loaded_mb (after the
// schedule is loaded), rss_shown_mb (the window shown and its first pass
// done), rss_end_mb (at the end of the first run date),
// rss_after_10_mb (after ten), rss_peak_mb, passes (of the first run date).
//
// BM_WindowedLoad: resident memory with 10,000 jobs of realistic fields loaded
// (rss_loaded_mb) and the window showing their run date (rss_mb). Run each benchmark alone
// (--benchmark_filter), since the memory figures are the whole process's.

#include "bench/benchjobs.h"
#include "common/clock.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmSched.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kJobs = 1000;

// Ten run dates, unless MRV_BENCH_RUN_DATES says how many.
int RunDates() {
    const int n = qEnvironmentVariableIntValue("MRV_BENCH_RUN_DATES");
    return n > 0 ? n : 10;
}

// A figure of /proc/self/status in megabytes (its value is in kB).
double StatusMb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(qstrlen(key))).trimmed().split(' ')[0].toDouble() / 1024.0;
    return 0;
}

// The schedule's files in root, with the jobs saved. The table that made
// them is gone when this returns, as a scheduler that starts up has none
// beside the one it loads.
void WriteInstallation(const QString& root, JobTable jobs) {
    UseDagSchedule(root, QStringLiteral("DAG_yyyymmdd.log"));
    G.gCPULimit = 9999;
    QFile ini(G.gIniFile);
    if (ini.open(QIODevice::WriteOnly)) ini.write("[Morvenda]\r\nTimerSecs=1\r\n");
    ini.close();
    SetStartTimes();
    G.Jobs = std::move(jobs);
    SaveSchedule();
    G.Jobs = JobTable(1);
}

int RunDate(frmSched& w, SteppingClock& clock) {
    int passes = 0;
    while (!G.gSchedComplete && passes < 100000) {
        w.cmdKick_Click();
        QCoreApplication::processEvents();
        ++passes;
        clock.step();
        ::usleep(2000);
    }
    return passes;
}

void BM_WindowedRun(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        SteppingClock clock(2);
        setClock(&clock);
        WriteInstallation(dir.path(), DagJobs(MakeDag(kJobs)));
        LoadSchedule();
        const double loaded = StatusMb("VmRSS:");
        double cpuMs = 0;
        int passes = 0;
        double end = 0;
        {
            frmSched w(false);
            const double before = SelfCpuMs();
            w.show();
            QCoreApplication::processEvents();  // the window's first pass
            state.counters["rss_shown_mb"] = StatusMb("VmRSS:");
            passes = RunDate(w, clock);
            cpuMs = SelfCpuMs() - before;
            end = StatusMb("VmRSS:");
            if (!G.gSchedComplete) state.SkipWithError("the schedule did not complete");
            const double laterBefore = SelfCpuMs();
            int laterDates = 0;
            for (int d = 1; d < RunDates() && G.gSchedComplete; ++d) {
                // The next run date comes in its own day, an hour after its start.
                clock.jumpTo(FirstReal(G.gRunDate.datePart().addDays(1)) + 3600);
                w.execution().DoNextDay();
                QCoreApplication::processEvents();
                const int more = RunDate(w, clock);
                ++laterDates;
                if (qEnvironmentVariableIsSet("MRV_BENCH_TRACE"))
                    std::fprintf(stderr, "date %d: %d passes, %.1f MB\n", d + 1, more, StatusMb("VmRSS:"));
            }
            if (laterDates > 0) state.counters["later_ms_per_job"] = (SelfCpuMs() - laterBefore) / (laterDates * kJobs);
            state.counters["rss_after_10_mb"] = StatusMb("VmRSS:");
            w.hide();
        }
        state.counters["scheduler_ms_per_job"] = cpuMs / kJobs;
        state.counters["rss_loaded_mb"] = loaded;
        state.counters["rss_end_mb"] = end;
        state.counters["rss_peak_mb"] = StatusMb("VmHWM:");
        state.counters["passes"] = passes;
        setClock(nullptr);
        ResetState();
    }
}

void BM_WindowedLoad(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QTemporaryDir dir;
        WriteInstallation(dir.path(), BenchJobs(n));
        LoadSchedule();
        state.counters["rss_loaded_mb"] = StatusMb("VmRSS:");
        frmSched w(false);
        w.show();
        QCoreApplication::processEvents();  // the run date listed, its first pass
        state.counters["rss_mb"] = StatusMb("VmRSS:");
        w.hide();
        ResetState();
    }
}

BENCHMARK(BM_WindowedRun)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowedLoad)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
