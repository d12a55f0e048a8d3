// Time to load and to save a schedule of 1,000 and 10,000 jobs with realistic
// fields: dependencies, end-of-job messages, date variables, times, and a
// trigger list beside it. Both should grow linearly with the number of jobs.

#include "bench/benchjobs.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveSchedule());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadSchedule(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        LoadSchedule();
        benchmark::DoNotOptimize(G.Jobs.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_SaveSchedule)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSchedule)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
