#include "morvenda/execution/triggers.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QChar kQuoteChar = QLatin1Char('"');

QString NowStamp(const QString& timeMask) { return FormatDate(Now(), G.gDateFmt + QLatin1Char(' ') + timeMask); }

// One open-write-close of Path with Text and CR LF; errno is kept on failure.
bool WriteOnce(const QString& Path, const QByteArray& bytes) {
    const int fd = ::open(Path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    const int saved = errno;
    if (::close(fd) != 0)
        ok = false;
    else
        errno = saved;
    return ok;
}

}  // namespace

QString PaddedName(int JobIndex) { return FixedText(G.Jobs[static_cast<size_t>(JobIndex)].JobName.trimmed(), 8); }

QString StdTriggerPath(const QString& JobName) {
    return JoinPath(G.gTriggerPath, JobName.trimmed() + QStringLiteral(".trg"));
}

QString TriggerPathOf(int JobIndex) {
    const JobRec& job = G.Jobs[static_cast<size_t>(JobIndex)];
    const QString trigger = job.TriggerFile.trimmed();
    return trigger == gStdTrigger ? StdTriggerPath(job.JobName) : trigger;
}

void CrtTrigger(int JobIndex) {
    const JobRec& job = G.Jobs[static_cast<size_t>(JobIndex)];
    const QString path = TriggerPathOf(JobIndex);
    const QString line = QStringLiteral("Trigger file for job ") + job.JobName.trimmed() + QStringLiteral(" written at ") +
                         NowStamp(QStringLiteral("hh:mm:ss"));
    if (path.isEmpty() || !WriteOnce(path, line.toUtf8() + "\r\n"))
        LogAndList(G.gLogFile, QStringLiteral("Could not create trigger file: ") + kQuoteChar + path + kQuoteChar +
                                   QStringLiteral(" at end of job ") + PaddedName(JobIndex));
}

bool TrigFileFound(const QString& FileSpec) {
    const QString path = FileSpec.startsWith(QLatin1String("..")) ? StdTriggerPath(FileSpec.mid(2)) : FileSpec;
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isFile();
}

void DeleteTrigger(int JobIndex) {
    const JobRec& job = G.Jobs[static_cast<size_t>(JobIndex)];
    const QString path = job.WaitForFile.startsWith(QLatin1String("..")) ? StdTriggerPath(job.WaitForFile.mid(2))
                                                                         : job.WaitForFile.trimmed();
    if (path.isEmpty() || !QFile::remove(path))
        LogAndList(G.gLogFile, QStringLiteral("Could not delete trigger file: ") + kQuoteChar + path + kQuoteChar +
                                   QStringLiteral(" at start of job ") + PaddedName(JobIndex));
}

void Track(const QString& JobName, const QString& Status) {
    if (G.gTrackerPath.isEmpty())
        return;
    WriteFile(JoinPath(G.gTrackerPath, JobName.trimmed() + QStringLiteral(".trk")),
              Status.trimmed() + QLatin1Char(',') + G.gSchedName.trimmed() + QLatin1Char(',') +
                  NowStamp(QStringLiteral("hh:nn:ss")));
}

bool WriteFile(const QString& Path, const QString& Text) {
    const QByteArray bytes = Text.toUtf8() + "\r\n";
    int lastError = 0;
    // A watcher may hold the file open for a moment: try again at once.
    for (int attempt = 0; attempt < 5000; ++attempt) {
        if (WriteOnce(Path, bytes))
            return true;
        lastError = errno;
        if (lastError == ENOENT || lastError == ENOTDIR || lastError == EACCES || lastError == EROFS)
            break;  // retrying cannot help: the folder is missing or not ours
    }
    LogAndList(G.gLogFile, QStringLiteral("Cannot write to file ") + Path + QStringLiteral("\n\n") +
                               QString::fromLocal8Bit(std::strerror(lastError)));
    return false;
}
