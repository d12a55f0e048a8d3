#include "morvenda/execution/triggers.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/executioncaches.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <QThread>

namespace {

const QChar kQuoteChar = QLatin1Char('"');

QString NowStamp(const QString& timeMask) { return FormatDate(Now(), G.gDateFmt + QLatin1Char(' ') + timeMask); }

constexpr int kWriteAttempts = 3;
constexpr int kWritePauseMs = 100;

// Writes Path with the single line Text through a temporary file renamed into
// place, so a reader never sees an empty or half file; a symbolic link planted
// at Path is replaced, never written through. Flush false: an existing file
// is rewritten in place instead and not flushed (see RewriteFile). A failure
// is tried again a few times after a short pause; *error holds the last
// reason.
bool WriteLineFile(const QString& Path, const QString& Text, QString* error, bool flush = true) {
    const QByteArray bytes = Text.toUtf8() + "\r\n";
    for (int attempt = 1;; ++attempt) {
        if (flush ? ReplaceFile(Path, bytes, error) : RewriteFile(Path, bytes, error)) return true;
        if (attempt == kWriteAttempts || !QFileInfo(FolderOf(Path)).isDir())
            return false;  // a missing folder will not appear in a moment
        QThread::msleep(kWritePauseMs);
    }
}

const QString kNoTriggerFolder = QStringLiteral("the trigger folder (\"TriggerPath\") is not set");

// The system's reason out of a writer's message ("Cannot write \"<path>\":
// <reason>"), for log lines that name the file themselves.
QString ReasonOf(const QString& error) {
    const qsizetype p = error.indexOf(QLatin1String("\": "));
    return p < 0 ? error : error.mid(p + 3);
}

QSet<QString>& DummyWritten() { return TheExecutionCaches().dummyTriggers; }

}  // namespace

QString PaddedName(int JobIndex) { return FixedText(Job(JobIndex).JobName.trimmed(), 8); }

QString StdTriggerPath(const QString& JobName) {
    // Upper case on both sides: writers and ".." waiters agree on a
    // case-sensitive file system.
    if (G.gTriggerPath.isEmpty()) return QString();
    return JoinPath(G.gTriggerPath, JobName.trimmed().toUpper() + QStringLiteral(".trg"));
}

QString TriggerPathOf(int JobIndex) {
    const JobRec& job = Job(JobIndex);
    const QString trigger = job.TriggerFile.trimmed();
    return trigger == gStdTrigger ? StdTriggerPath(job.JobName) : trigger;
}

bool CrtTrigger(int JobIndex) {
    const JobRec& job = Job(JobIndex);
    const QString path = TriggerPathOf(JobIndex);
    if (path.isEmpty()) {
        LogAndList(G.gLogFile, QStringLiteral("Could not create trigger file: ") + kNoTriggerFolder +
                                   QStringLiteral(" at end of job ") + PaddedName(JobIndex));
        return true;
    }
    const QString line = QStringLiteral("Trigger file for job ") + job.JobName.trimmed() +
                         QStringLiteral(" written at ") + NowStamp(QStringLiteral("hh:mm:ss"));
    QString error;
    if (WriteLineFile(path, line, &error)) {
        if (G.gDummyRun) DummyWritten().insert(path);
        return true;
    }
    LogAndList(G.gLogFile, QStringLiteral("Could not create trigger file: ") + kQuoteChar + path + kQuoteChar +
                               QStringLiteral(" at end of job ") + PaddedName(JobIndex) + QStringLiteral(" (") +
                               ReasonOf(error) + QLatin1Char(')'));
    return false;
}

QString WaitFilePath(const QString& FileSpec) {
    return FileSpec.startsWith(QLatin1String("..")) ? StdTriggerPath(FileSpec.mid(2)) : FileSpec.trimmed();
}

bool TrigFileFound(const QString& FileSpec) {
    const QString path = WaitFilePath(FileSpec);
    // A trigger file written on another computer may meet a stale handle
    // here: that is retried, not taken for a missing file.
    return IsRegularFile(path);
}

void DeleteTrigger(int JobIndex) {
    const JobRec& job = Job(JobIndex);
    const bool standard = job.WaitForFile.startsWith(QLatin1String(".."));
    const QString path = WaitFilePath(job.WaitForFile);
    if (path.isEmpty() && standard) {
        LogAndList(G.gLogFile, QStringLiteral("Could not delete trigger file: ") + kNoTriggerFolder +
                                   QStringLiteral(" at start of job ") + PaddedName(JobIndex));
        return;
    }
    // A rehearsal must not take a real run's input away.
    if (G.gDummyRun && !DummyWritten().remove(path)) {
        LogAndList(G.gLogFile, QStringLiteral("Trigger file ") + kQuoteChar + path + kQuoteChar +
                                   QStringLiteral(" kept at start of job ") + PaddedName(JobIndex) +
                                   QStringLiteral(" (a real run deletes it)"));
        return;
    }
    QString why;
    if (path.isEmpty() || !RemoveSharedFile(path, &why))
        LogAndList(G.gLogFile, QStringLiteral("Could not delete trigger file: ") + kQuoteChar + path + kQuoteChar +
                                   QStringLiteral(" at start of job ") + PaddedName(JobIndex) + QStringLiteral(" (") +
                                   (path.isEmpty() ? QStringLiteral("no file is named") : why) + QLatin1Char(')'));
}

bool Track(const QString& JobName, const QString& Status) {
    if (G.gTrackerPath.isEmpty()) return true;
    // A tracker file only shows the job's latest state, which the schedule
    // file and the run journal keep: it is rewritten in place and not flushed
    // to the disk. A new file for each of a job's events, or a flush, would
    // cost more than the rest of the job's handling.
    return WriteFile(JoinPath(G.gTrackerPath, JobName.trimmed() + QStringLiteral(".trk")),
                     Status.trimmed() + QLatin1Char(',') + G.gSchedName.trimmed() + QLatin1Char(',') +
                         NowStamp(QStringLiteral("hh:nn:ss")),
                     false);
}

bool WriteFile(const QString& Path, const QString& Text, bool Flush) {
    QString error;
    if (WriteLineFile(Path, Text, &error, Flush)) return true;
    // One line: the run log and the progress list hold no line breaks.
    LogAndList(G.gLogFile, QStringLiteral("Cannot write to file ") + Path + QStringLiteral(": ") + ReasonOf(error));
    return false;
}
