// Time of one kick pass over 1,000 and 10,000 jobs. A pass must grow linearly
// with the jobs and their dependencies:
//  - WaitOnRunning: every job waits for three running jobs (nothing starts);
//  - WaitOnPending: every job waits for three jobs that are themselves waiting
//    for their start time;
//  - WaitOnChain: every job waits for the three jobs before it. A job's wait
//    text names every pending job of its whole dependency closure, so here
//    each job's text (and its evaluation) grows with its place in the chain
//    and a pass grows with the square of the jobs: run at smaller sizes;
//  - WaitOnResources: no dependencies; each job waits for the serialised
//    command processor, an exclusivity keyword or CPU units held by running
//    jobs, so the wait tests of the submission loop run for every job;
//  - ...Changing: the same, but before each pass the first job, which every
//    other job reaches, moves between its state and "submit failed" (both
//    keep the others waiting), so no result of the previous pass can be
//    reused and every wait is evaluated again;
//  - ...Unrelated: a job outside every dependency changes state before each
//    pass: only its dependants (none) are evaluated again;
//  - AllRunning: every job runs (one long `sleep` shared by all), so the pass
//    asks about a process for each of them.
// The schedule, log and trigger folders are in a temporary folder; no process
// is left behind.

#include "bench/benchjobs.h"
#include "common/clock.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "platform/children.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

// One `sleep` that every running job of the benchmarks claims as its process.
std::optional<ProcessInfo>& Sleeper() {
    static std::optional<ProcessInfo> p;
    return p;
}

ProcessInfo SleeperInfo() {
    if (!Sleeper()) {
        ProcessInfo info;
        if (!StartProcess(QStringLiteral("sleep 600"), info)) {
            std::fprintf(stderr, "kickpass_bench: cannot start sleep\n");
            std::abort();
        }
        Sleeper() = info;
    }
    return *Sleeper();
}

void StopSleeper() {
    if (!Sleeper()) return;
    const ProcessStamp stamp{Sleeper()->dwProcessId, static_cast<std::uint32_t>(Sleeper()->hProcess)};
    TerminateProcessGroup(stamp);
    // ProcessRunning reaps our child once it has ended.
    for (int k = 0; k < 500 && ProcessRunning(stamp); ++k) ::usleep(10000);
    Sleeper().reset();
}

QString Name(int k) { return QStringLiteral("J%1").arg(k, 6, 10, QLatin1Char('0')); }

JobRec BaseJob(int k) {
    JobRec J;
    J.JobName = Name(k);
    J.Group = QStringLiteral("GRP%1").arg(k % 12);
    J.CommandLine = QStringLiteral("/opt/batch/run.sh --step=%1").arg(k);
    J.Frequency = QStringLiteral("Daily");
    J.LastDuration = 100 + k % 500;
    J.CpuUsage = 1;
    return J;
}

JobRec RunningJob(int k) {
    JobRec J = BaseJob(k);
    J.JobState = jsRunning;
    J.StatusText = QStringLiteral("Running");
    J.ProcInfo = SleeperInfo();
    J.Started = Now();
    return J;
}

void DependOn(JobRec& J, int a, int b, int c) {
    J.RunAfter = QStringList{Name(a), Name(b), Name(c)};
    J.RunAfterStatus = QStringLiteral("SFU");
    J.RunAfterUnsched = QStringLiteral("NNN");
}

enum class Kind { WaitOnRunning, WaitOnPending, WaitOnChain, WaitOnResources, AllRunning };

// A schedule of n jobs of the kind in a temporary folder, its run date today.
struct Fixture {
    QTemporaryDir dir;
    NullExecView view;
    Execution exec{view};

    Fixture(int n, Kind kind) {
        ResetState();
        G.gSchedName = QStringLiteral("BENCH");
        G.gSchedFile = dir.path() + QStringLiteral("/bench.sch");
        G.gIniFile = dir.path() + QStringLiteral("/bench.ini");
        G.gTriggerPath = dir.path();
        G.gLogFile.clear();  // no run log: the pass's own work is timed
        G.gRunDate = Now().datePart();
        G.gDayStart = DateVal();
        G.gCPULimit = 9999;
        G.Jobs = JobTable(1);
        G.Jobs.reserve(static_cast<size_t>(n) + 1);
        constexpr int kHeld = 3;  // jobs holding what the others wait for
        for (int k = 1; k <= n; ++k) {
            JobRec J;
            switch (kind) {
                case Kind::WaitOnRunning:
                    J = k <= kHeld ? RunningJob(k) : BaseJob(k);
                    if (k > kHeld) DependOn(J, 1, 2, 3);
                    break;
                case Kind::WaitOnPending:
                    J = BaseJob(k);
                    if (k <= kHeld)
                        J.EarlyStartText = QStringLiteral("23:59");
                    else
                        DependOn(J, 1, 2, 3);
                    break;
                case Kind::WaitOnChain:
                    J = BaseJob(k);
                    if (k <= kHeld)
                        J.EarlyStartText = QStringLiteral("23:59");
                    else
                        DependOn(J, k - 1, k - 2, k - 3);
                    break;
                case Kind::WaitOnResources:
                    J = k <= kHeld ? RunningJob(k) : BaseJob(k);
                    if (k == 1) J.DosProgram = true;
                    if (k == 2) J.Exclusive = QStringLiteral("LEDGER PRINTER");
                    if (k == 3) J.CpuUsage = 9000;
                    if (k > kHeld) {
                        // A third each: the serialised command processor, a
                        // keyword of a running job, CPU units.
                        J.DosProgram = k % 3 == 0;
                        J.Exclusive = k % 3 == 1 ? QStringLiteral("TAPE PRINTER") : QStringLiteral("DISK%1").arg(k);
                        J.CpuUsage = 1000;
                    }
                    break;
                case Kind::AllRunning:
                    J = RunningJob(k);
                    break;
            }
            G.Jobs.push_back(J);
        }
        G.gDOSSerial = kind == Kind::WaitOnResources;
        SetStartTimes();
        exec.gTimerSecs = 30;
        exec.cmdKick_Click();  // the first pass sets the wait texts
    }
    ~Fixture() { ResetState(); }
};

enum class Change { None, Everything, Unrelated };

void RunPasses(benchmark::State& state, Kind kind, Change change = Change::None) {
    const int n = static_cast<int>(state.range(0));
    Fixture f(n, kind);
    // A job that is not scheduled today, outside every dependency: its
    // state flips between not scheduled and unscheduled.
    JobRec idle = BaseJob(n + 1);
    idle.JobState = jsNotScheduled;
    G.Jobs.push_back(idle);
    f.exec.cmdKick_Click();
    const std::uint8_t first = G.Jobs[1].JobState;
    for (auto _ : state) {
        if (change == Change::Unrelated) {
            JobRec& J = G.Jobs.back();
            J.JobState = J.JobState == jsNotScheduled ? jsUnscheduled : jsNotScheduled;
        } else if (change == Change::Everything) {
            JobRec& J = G.Jobs[1];
            J.JobState = J.JobState == jsSubmitFailed ? first : static_cast<std::uint8_t>(jsSubmitFailed);
        }
        f.exec.cmdKick_Click();
        benchmark::DoNotOptimize(f.exec.Unsub.data());
    }
    // Nothing may have started or ended: every pass did the same work.
    const size_t waiting = kind == Kind::AllRunning                                   ? 0u
                           : kind == Kind::WaitOnPending || kind == Kind::WaitOnChain ? static_cast<size_t>(n)
                                                                                      : static_cast<size_t>(n - 3);
    const bool firstAside = G.Jobs[1].JobState == jsSubmitFailed && first == jsScheduled;
    if (f.exec.Unsub.size() != waiting - (firstAside ? 1 : 0))
        state.SkipWithError("the schedule changed during the passes");
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_KickPass_WaitOnRunning(benchmark::State& state) { RunPasses(state, Kind::WaitOnRunning); }
void BM_KickPass_WaitOnPending(benchmark::State& state) { RunPasses(state, Kind::WaitOnPending); }
void BM_KickPass_WaitOnChain(benchmark::State& state) { RunPasses(state, Kind::WaitOnChain); }
void BM_KickPass_WaitOnResources(benchmark::State& state) { RunPasses(state, Kind::WaitOnResources); }
void BM_KickPass_AllRunning(benchmark::State& state) { RunPasses(state, Kind::AllRunning); }
void BM_KickPass_WaitOnRunningChanging(benchmark::State& state) {
    RunPasses(state, Kind::WaitOnRunning, Change::Everything);
}
void BM_KickPass_WaitOnPendingChanging(benchmark::State& state) {
    RunPasses(state, Kind::WaitOnPending, Change::Everything);
}
void BM_KickPass_WaitOnChainChanging(benchmark::State& state) {
    RunPasses(state, Kind::WaitOnChain, Change::Everything);
}
void BM_KickPass_WaitOnChainUnrelated(benchmark::State& state) {
    RunPasses(state, Kind::WaitOnChain, Change::Unrelated);
}

BENCHMARK(BM_KickPass_WaitOnRunning)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnPending)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnChain)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnResources)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_AllRunning)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnRunningChanging)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnPendingChanging)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnChainChanging)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KickPass_WaitOnChainUnrelated)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv);
    StopSleeper();
    return status;
}
