#include "morvenda/core/jobindex.h"

#include "common/constants.h"
#include "common/filelock.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "morvenda/core/state.h"

namespace {

// How long a rewrite waits for a schedule on this or another computer that
// holds the list's lock: a rewrite takes milliseconds, so this much means the
// holder is stuck.
constexpr int kIndexLockWaitMs = 10000;

}  // namespace

QStringList MergeJobIndexLines(const QStringList& Existing, const QString& SchedName, const JobTable& Jobs) {
    const QString sched = SchedName.trimmed();
    const QString marker = (QLatin1Char('(') + sched + QLatin1Char(')')).toUpper();
    QStringList out;
    out.reserve(Existing.size() + static_cast<qsizetype>(Jobs.size()));
    for (const QString& line : Existing) {
        if (!line.toUpper().contains(marker)) out.append(line);
    }
    const QString suffix = QStringLiteral(" (") + sched + QLatin1Char(')');
    for (size_t k = 1; k < Jobs.size(); ++k) {
        if (Jobs[k].TriggerFile.trimmed() == gStdTrigger) out.append(Jobs[k].JobName.trimmed() + suffix);
    }
    return out;
}

bool RewriteJobIndexFile(const QString& IndexFile, const QString& SchedName, const JobTable& Jobs, QString* FailedPath,
                         QString* Why) {
    auto fail = [FailedPath, Why](const QString& path, const QString& why) {
        if (FailedPath) *FailedPath = path;
        if (Why) *Why = why;
        return false;
    };
    // Every schedule, on this computer or another sharing the folder, takes
    // the lock before it reads the list and keeps it until the new list is in
    // place, so two rewrites never interleave.
    const QString lockPath = IndexFile + QStringLiteral(".lock");
    const FileLock lock(lockPath, kIndexLockWaitMs);
    if (!lock.held()) return fail(lockPath, lock.reason());
    QStringList existing;
    QString error;
    RefreshFolderView(FolderOf(IndexFile));
    // The reads retry a list that another computer has just replaced (a
    // stale handle, or the name missing for a moment): taking such a list
    // for a missing one would drop every other schedule's lines.
    if (PathExists(IndexFile) && !ReadTextLines(IndexFile, &existing, &error)) return fail(IndexFile, error);
    if (!ReplaceFile(IndexFile, EncodeLines(MergeJobIndexLines(existing, SchedName, Jobs)), &error))
        return fail(IndexFile, error);
    return true;
}

void UpdateJobIndexFile() {
    if (G.gJobIndexFile.isEmpty()) return;
    QString failed;
    QString why;
    // The trigger list only helps the job editor of other schedules: a
    // failure to rewrite it is reported and the schedule carries on. A lock
    // that another program kept past the wait is named with its holder.
    if (!RewriteJobIndexFile(G.gJobIndexFile, G.gSchedName, G.Jobs, &failed, &why))
        MsgBox(gPathMsgPrefix + failed + QLatin1Char('"') + QStringLiteral("\n\n") + why, MsgButtons::Ok,
               MsgIcon::Warning);
}
