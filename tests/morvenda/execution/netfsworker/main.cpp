// A worker for the tests of a base folder shared by several computers: one
// process that stands for one computer's scheduler doing one thing many
// times, as fast as it can, against a folder that others use at the same
// moment.
//
//   mrv_netfsworker messages FOLDER LOGFILE JOBNAME COUNT TAG
//       writes COUNT end-of-job messages of job JOBNAME into FOLDER, the
//       subject of message n being "TAG n"; prints "written COUNT".
//   mrv_netfsworker rewrite LISTFILE SCHEDULE COUNT
//       rewrites SCHEDULE's share of the trigger list COUNT times, the k-th
//       time with the one line "SCHEDULEVk (SCHEDULE)". After each rewrite
//       it reads the list back: its own line must be the k-th, and no other
//       schedule's line may be older than one it saw before (a rewrite that
//       worked from an old list would bring one back). Prints
//       "tried N succeeded S failed F lost L".
//
// With MRV_GO_FILE set, the worker first waits (up to 30 seconds) until that
// file exists, so that the test can start every worker at one moment.

#include "common/constants.h"
#include "common/textfile.h"
#include "morvenda/core/jobindex.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/message.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <map>

namespace {

void WaitForGo() {
    const QString go = qEnvironmentVariable("MRV_GO_FILE");
    if (go.isEmpty()) return;
    for (int k = 0; k < 30000 && !PathExists(go); ++k) QThread::msleep(1);
}

int Messages(const QStringList& a) {
    if (a.size() != 5) return 2;
    G.gEmailPath = a[0];
    G.gLogFile = a[1];
    G.gSchedName = a[4];
    G.Jobs = JobTable(1);
    JobRec J;
    J.JobName = a[2];
    G.Jobs.push_back(J);
    const int count = a[3].toInt();
    WaitForGo();
    const std::array<QString, 5> flags = {QString(), QStringLiteral("00000"), QStringLiteral("00000"),
                                          QStringLiteral("00000"), QStringLiteral("00000")};
    for (int n = 1; n <= count; ++n) {
        const std::array<QString, 5> msg = {a[4] + QLatin1Char(' ') + QString::number(n), QStringLiteral("body"),
                                            QString(), QString(), QString()};
        GenMessage(1, QStringLiteral("ops"), QString(), msg, flags, false);
    }
    std::printf("written %d\n", count);
    return 0;
}

int Rewrite(const QStringList& a) {
    if (a.size() != 3) return 2;
    const QString list = a[0];
    const QString sched = a[1];
    const int count = a[2].toInt();
    const QRegularExpression line(QStringLiteral("^(\\S+)V(\\d+) \\((\\S+)\\)$"));
    std::map<QString, int> seen;  // schedule -> the latest version of its line seen
    int succeeded = 0, failed = 0, lost = 0;
    WaitForGo();
    for (int k = 1; k <= count; ++k) {
        JobTable jobs(1);
        JobRec J;
        J.JobName = sched + QLatin1Char('V') + QString::number(k);
        J.TriggerFile = gStdTrigger;
        jobs.push_back(J);
        QString failedPath, busy;
        if (!RewriteJobIndexFile(list, sched, jobs, &failedPath, &busy)) {
            ++failed;
            std::fprintf(stderr, "rewrite %d failed: %s %s\n", k, qPrintable(failedPath), qPrintable(busy));
            continue;
        }
        ++succeeded;
        QStringList lines;
        if (!ReadTextLines(list, &lines)) continue;  // a read fault, not a lost line
        bool own = false;
        for (const QString& l : lines) {
            const QRegularExpressionMatch m = line.match(l);
            if (!m.hasMatch()) continue;
            const QString who = m.captured(3);
            const int version = m.captured(2).toInt();
            if (who == sched) {
                own = own || version == k;
                continue;
            }
            auto it = seen.find(who);
            if (it != seen.end() && version < it->second) ++lost;
            if (it == seen.end() || version > it->second) seen[who] = version;
        }
        if (!own) ++lost;
    }
    std::printf("tried %d succeeded %d failed %d lost %d\n", count, succeeded, failed, lost);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return 2;
    const QString what = args.takeFirst();
    if (what == QLatin1String("messages")) return Messages(args);
    if (what == QLatin1String("rewrite")) return Rewrite(args);
    return 2;
}
