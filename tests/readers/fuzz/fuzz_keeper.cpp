#include "common/clock.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/state.h"
#include "tests/readers/fuzz/fuzz.h"

#include <QDir>

// The keeper's record of a job's ending ("<how> <number> <moment>" and a line
// end), read from the ends folder beside the schedule file for a job whose
// keeper is gone. Reading changes no file. A record that is not read leaves
// the ending unknown, which is a failure; one that is read is a success only
// for an exit code of 0, fails with a text otherwise, reads back the same when
// the keeper writes it again, and a moment of it the kick pass would take
// (after 1970, not after now) is a time the schedule file can hold.

namespace {

// A pid no system hands out (above the largest pid_max), so no process of
// the machine is ever taken for the job.
constexpr std::int32_t kPid = 99999999;

QByteArray KeeperText(const ProcessExit& E, qint64 At) {
    const char* how = E.how == ProcessExit::How::Exited       ? "exited"
                      : E.how == ProcessExit::How::Signalled  ? "signalled"
                      : E.how == ProcessExit::How::NotStarted ? "notstarted"
                                                              : "startfailed";
    return QByteArray(how) + ' ' + QByteArray::number(E.number) + ' ' + QByteArray::number(At) + '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    InputFolder folder(QStringLiteral("keeper"));
    FreshScheduler();
    G.gSchedFile = folder.path + QStringLiteral("/fuzz.sch");
    ProcessInfo job;
    job.dwProcessId = kPid;
    job.dwThreadId = kPid;
    job.hProcess = 123456;
    job.hThread = kPid - 1;
    const ProcessStamp stamp{kPid, static_cast<std::uint32_t>(job.hProcess)};
    Require(QDir().mkpath(JobEndsFolder()), "cannot make the ends folder");
    const QString record = JobEndsFolder() + QStringLiteral("/%1.%2.end").arg(kPid).arg(job.hProcess);
    folder.put(record, InputBytes(Data, Size));

    const JobEnding ending = JobExitStatus(job);
    const qint64 at = JobEndedAt(job);
    qint64 keptAt = 0;
    const ProcessExit kept = KeptExit(JobEndsFolder(), stamp, &keptAt);
    folder.requireUnchanged("reading a keeper's record changed its folder");

    Require(ending.Succeeded == kept.succeeded() && ending.Succeeded == ending.ErrorText.isEmpty(),
            QStringLiteral("the ending is taken for %1 with the text \"%2\"")
                .arg(ending.Succeeded ? QStringLiteral("a success") : QStringLiteral("a failure"), ending.ErrorText));
    if (kept.how == ProcessExit::How::Unknown) {
        Require(!ending.Succeeded && at == 0, "a record that is not read gives an ending or a moment");
        return 0;
    }
    Require(at == keptAt, "the job's ending moment is not the record's");

    PutFile(record, KeeperText(kept, keptAt));
    qint64 againAt = 0;
    const ProcessExit again = KeptExit(JobEndsFolder(), stamp, &againAt);
    Require(again == kept && againAt == keptAt,
            QStringLiteral("the record written again as \"%1\" reads back otherwise")
                .arg(QString::fromLatin1(KeeperText(kept, keptAt).trimmed())));

    if (at > 0 && at <= NowReal()) {
        const DateVal wall = WallOf(at, currentClock().zone());
        Require(StorableDate(wall), "the moment of the ending is a time the schedule file cannot hold");
    }
    return 0;
}
