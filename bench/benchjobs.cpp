#include "bench/benchjobs.h"

#include "common/clock.h"
#include "common/prompter.h"
#include "morvenda/core/state.h"

#include <benchmark/benchmark.h>

#include "common/constants.h"

#include <algorithm>
#include <random>

#include <sys/resource.h>

JobTable BenchJobs(int n) {
    JobTable jobs(1);
    jobs.reserve(static_cast<size_t>(n) + 1);
    const DateVal day = DateVal::fromDate(2026, 12, 8);
    for (int k = 1; k <= n; ++k) {
        JobRec J;
        J.JobName = QStringLiteral("J%1").arg(k, 6, 10, QLatin1Char('0'));
        J.Group = QStringLiteral("GRP%1").arg(k % 12);
        J.CommandLine =
            QStringLiteral("/opt/batch/run.sh \"--input=/data/in %1.csv\" --date=&RUNDATE& --mode=full").arg(k);
        J.EarlyStartText =
            QStringLiteral("%1:%2").arg(k % 24, 2, 10, QLatin1Char('0')).arg(k % 60, 2, 10, QLatin1Char('0'));
        J.EarlyStart = day.addSeconds((k % 1440) * 60);
        J.Frequency = QStringLiteral("WorkDays -1WDOM Mon");
        J.Exclusive = k % 5 == 0 ? QStringLiteral("DB1 PRINTER") : QString();
        // One to three prerequisites among the jobs before it.
        QString status, unsched;
        for (int d = 1; d <= 1 + k % 3 && k - d * 7 >= 1; ++d) {
            J.RunAfter << QStringLiteral("J%1").arg(k - d * 7, 6, 10, QLatin1Char('0'));
            status += QLatin1Char("SFU"[d % 3]);
            unsched += QLatin1Char(d % 2 ? 'Y' : 'N');
        }
        J.RunAfterStatus = status;
        J.RunAfterUnsched = unsched;
        J.EojTo = QStringLiteral("ops; finance; oncall");
        J.EojCc = QStringLiteral("audit");
        J.AbEojTo = QStringLiteral("oncall");
        J.EojMsg = {QStringLiteral("Job %1 done, &RUNDATE&").arg(k), QStringLiteral("/data/out/report.txt"),
                    QStringLiteral("Totals attached"), QString(), QString()};
        J.AbEojMsg = {QStringLiteral("Job %1 FAILED").arg(k), QStringLiteral("see the run log"), QString(), QString(),
                      QString()};
        J.EojFlags = {QString(), QStringLiteral("10100"), QStringLiteral("00000"), QStringLiteral("00000"),
                      QStringLiteral("00000")};
        J.AbEojFlags = J.EojFlags;
        J.DateVars = gDefDateVars;
        J.Started = day.addSeconds(3600 + k);
        J.Completed = day.addSeconds(3700 + k);
        J.LastDuration = 100 + k % 500;
        J.ProcInfo = {k, 0, 10000 + k, 10000 + k};
        J.TriggerFile = k % 10 == 0 ? gStdTrigger : QString();
        J.JobDesc = QStringLiteral("Nightly batch step %1 of the ledger, with its checks").arg(k);
        J.CpuUsage = static_cast<std::int16_t>(1 + k % 4);
        jobs.push_back(J);
    }
    return jobs;
}

std::vector<std::vector<int>> MakeDag(int n) {
    std::mt19937 rng(1000);
    std::vector<std::vector<int>> deps(static_cast<size_t>(n) + 1);
    for (int k = 2; k <= n; ++k) {
        std::vector<int>& d = deps[static_cast<size_t>(k)];
        const int want = std::min(3, k - 1);
        while (static_cast<int>(d.size()) < want) {
            const int p = 1 + static_cast<int>(rng() % static_cast<unsigned>(k - 1));
            if (std::find(d.begin(), d.end(), p) == d.end()) d.push_back(p);
        }
    }
    return deps;
}

QString DagName(int k) { return QStringLiteral("J%1").arg(k, 4, 10, QLatin1Char('0')); }

JobTable DagJobs(const std::vector<std::vector<int>>& deps) {
    JobTable jobs(1);
    for (size_t k = 1; k < deps.size(); ++k) {
        JobRec J;
        J.JobName = DagName(static_cast<int>(k));
        J.Group = QStringLiteral("DAG");
        J.CommandLine = QStringLiteral("true");
        J.Frequency = QStringLiteral("Daily");
        J.LastDuration = 1;
        for (const int p : deps[k]) {
            J.RunAfter << DagName(p);
            J.RunAfterStatus += QLatin1Char('S');
            J.RunAfterUnsched += QLatin1Char('N');
        }
        jobs.push_back(J);
    }
    return jobs;
}

void UseDagSchedule(const QString& root, const QString& LogName) {
    ResetState();
    G.gSchedName = QStringLiteral("DAG");
    G.gSchedFile = root + QStringLiteral("/DAG.sch");
    G.gIniFile = root + QStringLiteral("/DAG.ini");
    G.gLogFile = root + QLatin1Char('/') + LogName;
    G.gTriggerPath = root;
    G.gTrackerPath = root;
    G.gRunDate = Now().datePart();
    G.gDayStart = DateVal();
    G.gMinJobLaunch = 1;
}

int RunBenchmarks(int argc, char** argv) {
    StderrPrompter noBoxes;
    setPrompter(&noBoxes);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        setPrompter(nullptr);
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setPrompter(nullptr);
    return 0;
}

double SelfCpuMs() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}
