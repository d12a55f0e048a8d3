#include "tests/support/scheduler.h"

#include "morvenda/core/dependency.h"
#include "morvenda/core/state.h"

void UseTempScheduler(const TempDir& Dir) {
    ResetState();
    JobTableChanged();
    G.gIniFile = Dir.write(QStringLiteral("sched.ini"), "[Morvenda]\r\nTimerSecs=30\r\n");
    G.gSchedFile = Dir.path(QStringLiteral("sched.sch"));
    G.gLogFile = Dir.path(QStringLiteral("yyyymmdd.log"));
    G.gCPULimit = 9999;
}

int AddJob(const QString& Name, const QString& Command, const QString& After, const QString& Letters) {
    JobRec j;
    j.JobName = Name;
    j.Group = QStringLiteral("General");
    j.CommandLine = Command;
    j.Frequency = QStringLiteral("Daily");
    j.LastDuration = 30;
    if (!After.isEmpty()) {
        j.RunAfter = After.split(QLatin1Char(','));
        j.RunAfterStatus = Letters.isEmpty() ? QString(j.RunAfter.size(), QLatin1Char('S')) : Letters;
        j.RunAfterUnsched = QString(j.RunAfterStatus.size(), QLatin1Char('N'));
    }
    G.Jobs.push_back(j);
    JobTableChanged();
    return JobCount();
}
