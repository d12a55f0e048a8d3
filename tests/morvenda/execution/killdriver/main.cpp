// The scheduler without a window, for the crash test: runs the schedule of the
// configuration file it is given, a pass every 30 ms, until the schedule is
// complete (exit 0). With MRV_KILL_AFTER set to a record letter and a count
// ("S2": the second submission record, "E1": the first ending record) it
// kills itself with SIGKILL right after that record reached the disk: the
// moment between a submission and the start of its program, or between an
// ending and its effects.

#include "common/fatal.h"
#include "common/prompter.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "morvenda/execution/journal.h"
#include "morvenda/startup/startup.h"
#include "tests/support/quiethost.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

char gKillKind = 0;
int gKillCount = 0;

void Observe(char kind) {
    if (kind == gKillKind && --gKillCount == 0) std::raise(SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: mrv_killdriver <ini>\n");
        return 2;
    }
    const QByteArray kill = qgetenv("MRV_KILL_AFTER");
    if (kill.size() >= 2) {
        gKillKind = kill.at(0);
        gKillCount = kill.mid(1).toInt();
        SetJournalObserver(Observe);
    }
    try {
        QuietHost host;
        RunStartupSequence(QString::fromLocal8Bit(argv[1]) + QStringLiteral(",TEMP"), host);
        NullExecView view;
        Execution exec(view);
        exec.InitSchedule();
        while (!G.gSchedComplete) {
            QThread::msleep(30);
            exec.cmdKick_Click();
        }
    } catch (const FatalStop& stop) {
        std::fprintf(stderr, "stopped: %s\n", qPrintable(stop.reason()));
        return 3;
    }
    return 0;
}
