#include "tests/support/demorun.h"

#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "morvenda/startup/startup.h"
#include "tests/support/programs.h"
#include "tests/support/quiethost.h"

void StartDemo(const QString& Base) {
    QuietHost host;
    RunStartupSequence(Base + QStringLiteral("/DEMO/DEMO.ini,TEMP"), host);
}

bool KickUntil(FakeClock& Clock, int StepSecs, int TimeoutMs, const std::function<bool()>& Done) {
    G.gCPULimit = 8;
    G.gDayStart = DateVal();
    NullExecView view;
    Execution exec(view);
    exec.InitSchedule();
    return PollUntil(
        [&] {
            Clock.advance(StepSecs);
            exec.cmdKick_Click();
            return Done();
        },
        TimeoutMs, 200);
}

bool OnlyNightlyWaits() {
    for (int j = 1; j <= JobCount(); ++j) {
        const JobRec& J = Job(j);
        if (J.JobState == jsRunning || (J.JobState == jsScheduled && J.JobName != QLatin1String("NIGHTLY")))
            return false;
    }
    return true;
}
