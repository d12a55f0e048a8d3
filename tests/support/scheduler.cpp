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
