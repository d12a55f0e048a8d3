// The scheduler without a window, for the crash test: runs the schedule of the
// configuration file it is given, a pass every 30 ms, until the schedule is
// complete (exit 0). With MRV_KILL_AFTER set to a record letter and a count
// ("S2": the second submission record, "E1": the first ending record) it
// kills itself with SIGKILL right after that record reached the disk: the
// moment between a submission and the start of its program, or between an
// ending and its effects. With MRV_FAIL_IO=k the k-th write, flush or rename
// of its files fails (ENOSPC), and every later one of that file, and it stops
// once that pass is over (exit 4);
// with MRV_FAIL_IO=0 it counts them and prints "io=<count>" at the end.

#include "common/atomicfile.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "morvenda/execution/journal.h"
#include "morvenda/startup/startup.h"
#include "tests/support/quiethost.h"

#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

char gKillKind = 0;
int gKillCount = 0;

void Observe(char kind) {
    if (kind == gKillKind && --gKillCount == 0) std::raise(SIGKILL);
}

long gIoCount = 0;
long gIoFailAt = -1;
bool gIoFailed = false;

int FailOne(IoStep step, const char* path) {
    ++gIoCount;
    if (gIoFailAt == 0 && qEnvironmentVariableIsSet("MRV_IO_TRACE"))
        std::fprintf(stderr, "io %ld %c %s\n", gIoCount, "WFR"[static_cast<int>(step)], path);
    // From the k-th on, that file takes nothing more: a retry fails too.
    static std::string full;
    if (gIoFailed && full == path) return ENOSPC;
    if (gIoCount != gIoFailAt) return 0;
    gIoFailed = true;
    full = path;
    return ENOSPC;
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
    if (qEnvironmentVariableIsSet("MRV_FAIL_IO")) {
        gIoFailAt = qEnvironmentVariableIntValue("MRV_FAIL_IO");
        SetIoFaultHook(FailOne);
    }
    try {
        QuietHost host;
        RunStartupSequence(QString::fromLocal8Bit(argv[1]) + QStringLiteral(",TEMP"), host);
        NullExecView view;
        Execution exec(view);
        exec.InitSchedule();
        while (!G.gSchedComplete && !gIoFailed) {
            QThread::msleep(30);
            exec.cmdKick_Click();
        }
        // The failing pass is over: the scheduler stops there, whatever it
        // has not saved yet.
        if (gIoFailed) std::_Exit(4);
        if (gIoFailAt == 0) std::printf("io=%ld\n", gIoCount);
    } catch (const FatalStop& stop) {
        std::fprintf(stderr, "stopped: %s\n", qPrintable(stop.reason()));
        return 3;
    }
    return 0;
}
