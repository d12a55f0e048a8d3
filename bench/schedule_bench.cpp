// Time to load and to save a schedule of 1,000 and 10,000 jobs with realistic
// fields: dependencies, end-of-job messages, date variables, times, and a
// trigger list beside it. Both should grow linearly with the number of jobs.
// LoadedMemory: resident memory of a fresh process of this program before and
// after it loads the schedule (counters rss_mb and per_job_kb), and the CPU of
// that load (fresh_load_ms: the scheduler's load at its start, where
// LoadSchedule's figure is a reload into a heap the table before has left).

#include "bench/benchjobs.h"
#include "common/constants.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>

#include <cstdio>
#include <cstring>

namespace {

// One schedule in a temporary folder with its trigger list.
struct Fixture {
    QTemporaryDir dir;
    explicit Fixture(int n) {
        ResetState();
        G.gSchedName = QStringLiteral("BENCH");
        G.gSchedFile = dir.path() + QStringLiteral("/bench.sch");
        G.gTriggerPath = dir.path();
        G.gJobIndexFile = dir.path() + QStringLiteral("/Triggers.Lst");
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gRunDayStart = G.gRunDate.addSeconds(6 * 3600);
        G.Jobs = BenchJobs(n);
        SaveSchedule();
    }
};

void BM_SaveSchedule(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(SaveSchedule());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadSchedule(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // The table of the run before is dropped outside the time: a
        // program loads its schedule into an empty table.
        state.PauseTiming();
        G.Jobs = JobTable(1);
        state.ResumeTiming();
        LoadSchedule();
        benchmark::DoNotOptimize(G.Jobs.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// VmRSS of this process in kB.
long RssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// In a fresh process, as the scheduler loads at its start: loads the
// schedule File and prints "before after" (kB) and the load's CPU (ms).
int MeasureLoad(const char* file) {
    const long before = RssKb();
    ResetState();
    G.gSchedFile = QString::fromLocal8Bit(file);
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gRunDayStart = G.gRunDate.addSeconds(6 * 3600);
    const double cpu = SelfCpuMs();
    LoadSchedule();
    const double spent = SelfCpuMs() - cpu;
    std::printf("%ld %ld %.2f\n", before, RssKb(), spent);
    return 0;
}

void BM_LoadedMemory(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Fixture f(n);
    double total = 0;
    double perJob = 0;
    double loadMs = 0;
    for (auto _ : state) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure-load"), G.gSchedFile});
        if (!p.waitForFinished(60000)) {
            state.SkipWithError("the measuring process did not end");
            break;
        }
        const QList<QByteArray> kb = p.readAllStandardOutput().trimmed().split(' ');
        total = kb.value(1).toDouble() / 1024.0;
        perJob = (kb.value(1).toDouble() - kb.value(0).toDouble()) / n;
        loadMs = kb.value(2).toDouble();
    }
    state.counters["rss_mb"] = total;
    state.counters["per_job_kb"] = perJob;
    state.counters["fresh_load_ms"] = loadMs;
}

BENCHMARK(BM_SaveSchedule)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSchedule)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadedMemory)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--measure-load") == 0) return MeasureLoad(argv[2]);
    return RunBenchmarks(argc, argv);
}
