// What the run journal adds to a pass with 10,000 jobs in the schedule:
//  - Submission: one record appended and flushed to the disk (fdatasync)
//    before a job's program runs, and the unflushed mark of its effects;
//  - Ending: the ending record, flushed, and the unflushed marks of its
//    effects (here four: tracker file, completion line, message, trigger);
//  - SaveSchedule: for comparison, what each of them would cost if the
//    schedule file were saved instead (the whole file, flushed, renamed);
//  - Replay: reading at start-up a journal of one submission and one ending
//    for every job.
// The journal is emptied every 100 records, as the save at the end of a pass
// empties it. Files are in a temporary folder.

#include "bench/benchjobs.h"
#include "common/clock.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/journal.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class Schedule {
public:
    explicit Schedule(int n) {
        ResetState();
        G.gSchedName = QStringLiteral("BENCH");
        G.gSchedFile = dir.path() + QStringLiteral("/bench.sch");
        G.gRunDate = Now().datePart();
        G.Jobs = JobTable(1);
        G.Jobs.reserve(static_cast<size_t>(n) + 1);
        for (int k = 1; k <= n; ++k) {
            JobRec J;
            J.JobName = QStringLiteral("J%1").arg(k, 6, 10, QLatin1Char('0'));
            J.Group = QStringLiteral("GRP%1").arg(k % 12);
            J.CommandLine = QStringLiteral("/opt/batch/run.sh --step=%1").arg(k);
            J.Frequency = QStringLiteral("Daily");
            J.Started = Now();
            J.StartedReal = NowReal();
            J.ProcInfo = ProcessInfo{123456, 4242, 40000 + k, 40000 + k};
            J.LastDuration = 100;
            G.Jobs.push_back(J);
        }
    }
    ~Schedule() {
        CloseRunJournal();
        ResetState();
    }
    QTemporaryDir dir;
};

JobEndRecord Ending() {
    JobEndRecord r;
    r.Completed = Now();
    r.CompletedReal = NowReal();
    r.Span = 60;
    r.LastDuration = 60;
    return r;
}

void BM_Journal_Submission(benchmark::State& state) {
    Schedule s(static_cast<int>(state.range(0)));
    int j = 0;
    QString error;
    for (auto _ : state) {
        j = j % JobCount() + 1;
        if (!JournalSubmission(j, DateVal(), DateVal(), &error)) state.SkipWithError(qPrintable(error));
        JournalSubmitted(j);
        if (j % 100 == 0) {
            state.PauseTiming();
            EmptyRunJournal();
            state.ResumeTiming();
        }
    }
}

void BM_Journal_Ending(benchmark::State& state) {
    Schedule s(static_cast<int>(state.range(0)));
    const JobEndRecord r = Ending();
    int j = 0;
    QString error;
    for (auto _ : state) {
        j = j % JobCount() + 1;
        if (!JournalEnding(j, r, &error)) state.SkipWithError(qPrintable(error));
        for (EndStep step :
             {EndStep::TrackerFile, EndStep::CompletionLine, EndStep::NormalMessage, EndStep::TriggerFile})
            JournalStep(j, step);
        if (j % 100 == 0) {
            state.PauseTiming();
            EmptyRunJournal();
            state.ResumeTiming();
        }
    }
}

void BM_Journal_SaveScheduleInstead(benchmark::State& state) {
    Schedule s(static_cast<int>(state.range(0)));
    for (auto _ : state) SaveSchedule();
}

void BM_Journal_Replay(benchmark::State& state) {
    Schedule s(static_cast<int>(state.range(0)));
    const JobEndRecord r = Ending();
    for (int j = 1; j <= JobCount(); ++j) {
        JournalSubmission(j, DateVal(), DateVal(), nullptr);
        JournalEnding(j, r, nullptr);
        JournalStep(j, EndStep::CompletionLine);
    }
    for (auto _ : state) benchmark::DoNotOptimize(ReplayRunJournal());
}

}  // namespace

BENCHMARK(BM_Journal_Submission)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Journal_Ending)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Journal_SaveScheduleInstead)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Journal_Replay)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
