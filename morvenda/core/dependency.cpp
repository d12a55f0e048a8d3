#include "morvenda/core/dependency.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

#include <QHash>
#include <QSet>

#include <vector>

namespace {

// The key names are compared by.
QString NameKey(const QString& name) { return name.trimmed().toUpper(); }

// Name index of G.Jobs. It is valid while G.JobsVersion, the table's size and
// its storage are those it was built for; JobTableChanged gives the table a
// version never used before, ResetState a version of 0, which the index never
// takes as its own.
struct NameIndex {
    std::uint64_t version = 0;
    size_t size = 0;
    const JobRec* data = nullptr;
    QHash<QString, int> first;
};

NameIndex& Index() {
    static NameIndex idx;
    return idx;
}

std::uint64_t& VersionCounter() {
    static std::uint64_t counter = 0;
    return counter;
}

void RebuildIndex(NameIndex& idx) {
    if (G.JobsVersion == 0)
        G.JobsVersion = ++VersionCounter();
    idx.version = G.JobsVersion;
    idx.size = G.Jobs.size();
    idx.data = G.Jobs.data();
    idx.first.clear();
    idx.first.reserve(static_cast<qsizetype>(G.Jobs.size()));
    for (int i = 1; i <= JobCount(); ++i) {
        const QString key = NameKey(G.Jobs[static_cast<size_t>(i)].JobName);
        if (!key.isEmpty() && !idx.first.contains(key))
            idx.first.insert(key, i);
    }
}

bool IndexCurrent(const NameIndex& idx) {
    return G.JobsVersion != 0 && idx.version == G.JobsVersion && idx.size == G.Jobs.size() &&
           idx.data == G.Jobs.data();
}

// One entry of a dependency closure.
struct DepEntry {
    QString name;  // trimmed
    QString letter;
    QString flag;
    int job = 0;  // FindJob of the name
};

QString CharAt(const QString& text, qsizetype k) { return k < text.size() ? text.mid(k, 1).toUpper() : QString(); }

// Jobs whose empty dependency entries were already reported in the run log.
QSet<QString>& ReportedEmpty() {
    static QSet<QString> reported;
    return reported;
}

void AddEntries(const JobRec& J, std::vector<DepEntry>& list, QSet<QString>& seen, bool ownList) {
    for (qsizetype k = 0; k < J.RunAfter.size(); ++k) {
        const QString name = J.RunAfter.at(k).trimmed();
        if (name.isEmpty()) {
            // The editor and the save keep empty entries out; one found here
            // (a hand-edited file) is skipped, and reported once, rather than
            // stopping the program in the middle of a run.
            const QString job = J.JobName.trimmed().toUpper();
            if (!ReportedEmpty().contains(job)) {
                ReportedEmpty().insert(job);
                WriteLog(G.gLogFile, QStringLiteral("Empty RunAfter entry for job ") + J.JobName.trimmed() +
                                         QStringLiteral(" skipped."));
            }
            continue;
        }
        const QString key = name.toUpper();
        // The job's own list is taken whole; entries reached through it only
        // when their name is new, keeping the letter and flag first seen.
        if (!ownList && seen.contains(key))
            continue;
        seen.insert(key);
        list.push_back(DepEntry{name, CharAt(J.RunAfterStatus, k), CharAt(J.RunAfterUnsched, k), 0});
    }
}

// The job's dependency closure: its own entries, then, walking the list as it
// grows, the entries of every job it names. Linear in the entries visited.
std::vector<DepEntry> Closure(int JobIndex) {
    std::vector<DepEntry> list;
    QSet<QString> seen;
    AddEntries(G.Jobs[static_cast<size_t>(JobIndex)], list, seen, true);
    for (size_t i = 0; i < list.size(); ++i) {
        const int p = FindJob(list[i].name);
        list[i].job = p;
        if (p > 0)
            AddEntries(G.Jobs[static_cast<size_t>(p)], list, seen, false);
    }
    return list;
}

// The wait word of one entry whose prerequisite is in state `state`; "" when
// the entry is met. Sets never when the entry can no longer be met and asks
// for unscheduling.
QString WaitWord(std::uint8_t state, const DepEntry& e, bool& never) {
    const bool unsched = e.flag == QLatin1String("Y");
    if (state == jsRunning)
        return QStringLiteral("Running");
    if (state == jsScheduled)
        return QStringLiteral("Not Started");
    if (state == jsAborted && e.letter == QLatin1String("S")) {
        never = never || unsched;
        return QStringLiteral("Failed");
    }
    if ((state == jsCompleted || state == jsUnscheduled) && e.letter == QLatin1String("F")) {
        never = never || unsched;
        return QStringLiteral("Succeeded");
    }
    // A prerequisite whose submission failed never ran: it is pending for
    // every letter until the operator reschedules or forces it.
    if (state == jsSubmitFailed)
        return QStringLiteral("Submit Failed");
    return QString();
}

QString JobListText(const QString& list) { return list.mid(2).toUpper(); }

}  // namespace

int FindJob(const QString& JobName) {
    const QString key = NameKey(JobName);
    if (key.isEmpty())
        return 0;
    NameIndex& idx = Index();
    if (!IndexCurrent(idx))
        RebuildIndex(idx);
    auto it = idx.first.constFind(key);
    if (it == idx.first.constEnd())
        return 0;
    const int i = it.value();
    // A hit is checked against the table, so a change nobody announced cannot
    // return the wrong job.
    if (i <= JobCount() && NameKey(G.Jobs[static_cast<size_t>(i)].JobName) == key)
        return i;
    RebuildIndex(idx);
    return idx.first.value(key, 0);
}

void JobTableChanged() { G.JobsVersion = ++VersionCounter(); }

QString CheckDependency(int JobIndex, QString& Text, bool FindMode) {
    if (JobIndex < 1 || JobIndex > JobCount()) {
        if (FindMode)
            return QString();
        Text.clear();
        return gDepMet;
    }
    const std::vector<DepEntry> list = Closure(JobIndex);

    if (FindMode) {
        const QString wanted = Text.trimmed();
        for (const DepEntry& e : list) {
            if (e.job > 0 && G.Jobs[static_cast<size_t>(e.job)].JobName.trimmed() == wanted)
                return gDepFound;
        }
        return QString();
    }

    QString text;
    bool never = false;
    for (const DepEntry& e : list) {
        if (e.job <= 0)
            continue;
        const JobRec& P = G.Jobs[static_cast<size_t>(e.job)];
        const QString word = WaitWord(P.JobState, e, never);
        if (word.isEmpty())
            continue;
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += P.JobName.trimmed() + QLatin1Char('(') + e.letter + QStringLiteral(") - ") + word;
    }
    Text = text;
    if (never)
        return gDepNever;
    return text.isEmpty() ? gDepMet : gDepWait;
}

void UpdateDependents(const QString& OldName, QString& NewName) {
    const QString oldKey = NameKey(OldName);
    const bool rename = !NewName.isEmpty();
    QString list;
    if (!oldKey.isEmpty()) {
        for (int i = 1; i <= JobCount(); ++i) {
            JobRec& J = G.Jobs[static_cast<size_t>(i)];
            for (QString& entry : J.RunAfter) {
                if (NameKey(entry) != oldKey)
                    continue;
                if (rename)
                    entry = NewName;
                list += QStringLiteral(", ") + J.JobName.trimmed();
            }
        }
    }
    if (!rename) {
        NewName = list;
        return;
    }
    if (!list.isEmpty())
        MsgBox(QStringLiteral("The following job(s): ") + JobListText(list) +
               QStringLiteral("  are dependent on this job and their references have been updated accordingly."));
}

void UpdateTriggerDependents(const QString& OldName, const QString& NewName) {
    if (NameKey(OldName).isEmpty())
        return;
    const QString oldFile = NameKey(QStringLiteral("..") + OldName.trimmed());
    QString list;
    for (int i = 1; i <= JobCount(); ++i) {
        JobRec& J = G.Jobs[static_cast<size_t>(i)];
        if (NameKey(J.WaitForFile) != oldFile)
            continue;
        J.WaitForFile = QStringLiteral("..") + NewName;
        list += QStringLiteral(", ") + J.JobName.trimmed();
    }
    if (list.isEmpty())
        return;
    MsgBox(QStringLiteral("The following job(s): ") + JobListText(list) +
           QStringLiteral("  are dependent on this job's standard trigger file and their references have been updated "
                          "accordingly."));
    MsgBox(QStringLiteral("Dependent jobs in other schedules must be updated manually"));
}
