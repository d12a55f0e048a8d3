#include "morvenda/startup/startwindow.h"

#include "common/checks.h"
#include "common/clock.h"
#include "common/constants.h"
#include "common/ini.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/logview.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/triggers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <vector>

namespace {}  // namespace

StartFieldError ValidateStartFields(const QString& runDate, const QString& startTime, const QString& cpuLimit) {
    if (!RunDateFromText(runDate)) {
        MsgBox(QStringLiteral("Invalid schedule run date"), MsgButtons::Ok, MsgIcon::Warning);
        return StartFieldError::RunDate;
    }
    // Hours 00-23 and minutes 00-59 only, and a limit that fits its 16-bit
    // field: nothing may overflow at launch.
    if (!IsClockTime(startTime)) {
        MsgBox(QStringLiteral("Invalid schedule start time"), MsgButtons::Ok, MsgIcon::Warning);
        return StartFieldError::StartTime;
    }
    if (!IsCpuLimit(cpuLimit)) {
        MsgBox(QStringLiteral("Invalid CPU Limit"), MsgButtons::Ok, MsgIcon::Warning);
        return StartFieldError::CpuLimit;
    }
    return StartFieldError::None;
}

bool JobLoops() {
    // Each job's prerequisites, as job indices (entries naming no job end
    // their branch). A loop runs through job S exactly when S's strongly
    // connected component holds more than S, or S names itself; the entry that
    // leads back to S is the first one in S's component.
    const int n = JobCount();
    std::vector<std::vector<int>> edges(static_cast<size_t>(n) + 1);
    for (int i = 1; i <= n; ++i)
        for (const QString& entry : Job(i).RunAfter) edges[static_cast<size_t>(i)].push_back(FindJob(entry));

    // Tarjan's algorithm without recursion.
    std::vector<int> index(static_cast<size_t>(n) + 1, -1), low(static_cast<size_t>(n) + 1, 0),
        comp(static_cast<size_t>(n) + 1, -1), compSize;
    std::vector<char> onStack(static_cast<size_t>(n) + 1, 0);
    std::vector<int> stack;
    int counter = 0;
    struct Frame {
        int v;
        size_t next;
    };
    for (int root = 1; root <= n; ++root) {
        if (index[static_cast<size_t>(root)] >= 0) continue;
        std::vector<Frame> frames{{root, 0}};
        index[static_cast<size_t>(root)] = low[static_cast<size_t>(root)] = counter++;
        stack.push_back(root);
        onStack[static_cast<size_t>(root)] = 1;
        while (!frames.empty()) {
            Frame& f = frames.back();
            const auto& out = edges[static_cast<size_t>(f.v)];
            if (f.next < out.size()) {
                const int w = out[f.next++];
                if (w <= 0) continue;
                if (index[static_cast<size_t>(w)] < 0) {
                    index[static_cast<size_t>(w)] = low[static_cast<size_t>(w)] = counter++;
                    stack.push_back(w);
                    onStack[static_cast<size_t>(w)] = 1;
                    frames.push_back({w, 0});
                } else if (onStack[static_cast<size_t>(w)]) {
                    low[static_cast<size_t>(f.v)] =
                        std::min(low[static_cast<size_t>(f.v)], index[static_cast<size_t>(w)]);
                }
                continue;
            }
            const int v = f.v;
            frames.pop_back();
            if (!frames.empty())
                low[static_cast<size_t>(frames.back().v)] =
                    std::min(low[static_cast<size_t>(frames.back().v)], low[static_cast<size_t>(v)]);
            if (low[static_cast<size_t>(v)] == index[static_cast<size_t>(v)]) {
                const int id = static_cast<int>(compSize.size());
                int size = 0;
                int w = 0;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[static_cast<size_t>(w)] = 0;
                    comp[static_cast<size_t>(w)] = id;
                    ++size;
                } while (w != v);
                compSize.push_back(size);
            }
        }
    }

    for (int i = 1; i <= n; ++i) {
        const auto& out = edges[static_cast<size_t>(i)];
        for (size_t e = 0; e < out.size(); ++e) {
            const int w = out[e];
            if (w <= 0) continue;
            const int c = comp[static_cast<size_t>(i)];
            if (w == i || (comp[static_cast<size_t>(w)] == c && compSize[static_cast<size_t>(c)] > 1)) {
                WriteLog(G.gLogFile, QStringLiteral("Circular dependencies involving jobs ") +
                                         Job(i).JobName.trimmed() + QStringLiteral(" and ") +
                                         Job(i).RunAfter[static_cast<int>(e)].trimmed());
                return true;
            }
        }
    }
    return false;
}

int DelOldLogs() {
    const QString folder = FolderOf(G.gLogFile);
    if (folder.isEmpty()) return 0;
    // The pattern is the run log's own file name with "?" for its date tokens
    // and "tmp" in place of its last extension; a dotted folder never takes
    // part in it.
    const QString pattern = ExtractName(ExpandDateTokens(G.gLogFile, true));
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                QRegularExpression::CaseInsensitiveOption);
    const qint64 today = Now().dayNumber();
    int deleted = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& fi : files) {
        if (!re.match(fi.fileName()).hasMatch()) continue;
        const qint64 day = DateVal::fromQDateTime(fi.lastModified()).dayNumber();
        if (std::abs(today - day) > 1 && QFile::remove(fi.absoluteFilePath())) ++deleted;
    }
    return deleted;
}

bool SaveForExit(ExitValues& Read, const ExitValues& Shown) {
    const bool startChanged = Shown.startTime != Read.startTime;
    const bool cpuChanged = Shown.cpuLimit != Read.cpuLimit;
    if (!startChanged && !cpuChanged) return true;
    // Read afresh: the configuration editor may have saved since start-up,
    // and only what this window changed may replace what the file holds.
    IniDocument doc;
    QString why;
    bool saved = IniDocument::loadForUpdate(G.gIniFile, &doc, &why);
    if (saved) {
        if (startChanged) doc.setValue(gAppName, QStringLiteral("DayStart"), Shown.startTime);
        if (cpuChanged) doc.setValue(gAppName, QStringLiteral("CPULimit"), Shown.cpuLimit);
        saved = doc.save(G.gIniFile, &why);
    }
    if (saved) {
        Read = Shown;
        return true;
    }
    MsgBox(QStringLiteral("The start time and CPU limit were not saved.\n\n") + why, MsgButtons::Ok, MsgIcon::Warning);
    return false;
}

bool ResetRunValues() {
    if (MsgBox(QStringLiteral("Are you sure you want to reset all scheduling values?"), MsgButtons::YesNo,
               MsgIcon::Question) != MsgAnswer::Yes)
        return false;
    const bool standard = MsgBox(QStringLiteral("Do you want to delete standard trigger files?"), MsgButtons::YesNo,
                                 MsgIcon::Question) == MsgAnswer::Yes;
    const bool other = MsgBox(QStringLiteral("Do you want to delete non-standard trigger files?"), MsgButtons::YesNo,
                              MsgIcon::Question) == MsgAnswer::Yes;
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& job = Job(j);
        SetJobState(j, jsScheduled);
        ClearRunTimes(job);
        job.Spare34 = 0;
        job.ForceTrigger = false;
        job.SchedFlag = QStringLiteral(" ");
        job.StatusText.clear();
        const QString trigger = job.TriggerFile.trimmed();
        QString file;
        // Without a trigger folder there is no standard trigger file to
        // delete (never one at the root of the file system).
        if (trigger == gStdTrigger && standard)
            file = StdTriggerPath(job.JobName);
        else if (!trigger.isEmpty() && trigger != gStdTrigger && other)
            file = trigger;
        if (!file.isEmpty() && QFile::exists(file)) QFile::remove(file);
    }
    SaveSchedule();
    return true;
}

void OfferAsDefault() {
    const QString current = GetSetting(gAppName, gRegSection, QStringLiteral("Current"));
    if (G.gIniTemp || current.toUpper() == G.gIniFile.toUpper()) return;
    if (MsgBox(QStringLiteral("Do you want the following Ini file\n\n") + G.gIniFile +
                   QStringLiteral("\n\nto replace \n\n") + current +
                   QStringLiteral("\n\nas the default schedule on this computer?"),
               MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes)
        SaveSetting(gAppName, gRegSection, QStringLiteral("Current"), G.gIniFile);
}
