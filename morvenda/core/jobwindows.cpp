#include "morvenda/core/jobwindows.h"

#include "common/text.h"
#include "morvenda/core/state.h"
#include "platform/children.h"
#include "platform/x11.h"

#include <QHash>
#include <QStringList>

#include <sys/types.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// The job's recorded pid is still its own process, or gone (the group may
// outlive its leader); false when a process with another start time now has it.
bool PidIsTheJobs(const ProcessInfo& p) {
    std::uint32_t started = 0;
    return !ProcessStartTime(p.dwProcessId, &started) || started == static_cast<std::uint32_t>(p.hProcess);
}

QStringList ErrorTextItems(const QString& list) {
    QStringList items;
    for (int k = 1; k <= list.size() + 1; ++k) {
        const QString item = GetLineField(list, k, QLatin1Char('"'), QLatin1Char('|'));
        if (item.isEmpty()) break;
        items << item;
    }
    return items;
}

// The text as the job record keeps it: trimmed, control characters (a line
// feed would break the run log line, a TAB the schedule file's columns) as
// blanks, at most 100 characters and never half a surrogate pair.
QString ErrorTextForRecord(const QString& text) {
    QString t = ControlsToBlanks(text.trimmed());
    if (t.size() > kErrorTextWidth) {
        t.truncate(kErrorTextWidth);
        if (t.back().isHighSurrogate()) t.chop(1);
    }
    return t;
}

}  // namespace

// What the window tests read from the display: the top-level windows with
// the process group of each and the texts inside them, read once each. A
// kick pass's scan is G's while its JobWindowPass lives.
struct WindowScan {
    QString errorTexts;  // G.gRunTimeErrorText the items were made from
    QStringList items;
    bool itemsMade = false;
    std::unique_ptr<XConnection> x;
    bool listed = false;
    struct Top {
        XTopWindow top;
        pid_t group = -1;
        bool named = false;
        QStringList upperNames;  // descendant names, upper-cased
        QStringList names;
    };
    std::vector<Top> tops;

    const QStringList& Items() {
        // Made once for a pass over many running jobs, and again only when
        // the texts change (none configured: no items).
        if (!itemsMade || !SameData(errorTexts, G.gRunTimeErrorText)) {
            errorTexts = G.gRunTimeErrorText;
            items = ErrorTextItems(errorTexts);
            itemsMade = true;
        }
        return items;
    }

    // The top-level windows; empty without a display.
    std::vector<Top>& Tops() {
        if (listed) return tops;
        listed = true;
        x = std::make_unique<XConnection>();
        if (!x->isOpen()) return tops;
        QHash<qint64, pid_t> groupOf;  // one /proc read per process, however many windows it has
        for (const XTopWindow& top : x->topLevelWindows()) {
            if (top.pid <= 0) continue;
            auto it = groupOf.find(top.pid);
            if (it == groupOf.end()) it = groupOf.insert(top.pid, ProcessGroupOf(top.pid));
            tops.push_back(Top{top, *it, false, {}, {}});
        }
        return tops;
    }

    void Name(Top& t) {
        if (t.named) return;
        t.named = true;
        t.names = x->descendantNames(t.top.window);
        for (const QString& n : t.names) t.upperNames << n.toUpper();
    }
};

JobWindowPass::JobWindowPass() { G.PassWindows = std::make_shared<WindowScan>(); }

JobWindowPass::~JobWindowPass() { G.PassWindows.reset(); }

void CheckJobWindows(int JobIndex) {
    if (JobIndex < 1 || JobIndex > JobCount()) return;
    JobRec& job = Job(JobIndex);
    const pid_t group = job.ProcInfo.dwProcessId;
    if (group == 0) return;
    job.WinFailed = 0;
    if (group < 0) return;
    // Outside a kick pass, a scan of its own for this one test.
    std::unique_ptr<WindowScan> own;
    WindowScan* scan = G.PassWindows.get();
    if (!scan) {
        own = std::make_unique<WindowScan>();
        scan = own.get();
    }
    const QStringList& items = scan->Items();
    if (items.isEmpty()) return;
    bool isTheJobs = false;
    for (WindowScan::Top& t : scan->Tops()) {
        if (t.group != group) continue;
        // Whether the pid is still the job's is asked only of a job that
        // shows a window: a pass over many running jobs reads no process
        // entry for each of them.
        if (!isTheJobs && !PidIsTheJobs(job.ProcInfo)) return;
        isTheJobs = true;
        scan->Name(t);
        for (qsizetype k = 0; k < t.names.size(); ++k) {
            for (const QString& item : items) {
                if (t.upperNames[k].contains(item)) {
                    job.WinFailed = 1;
                    job.WinErrorText = ErrorTextForRecord(t.names[k]);
                    job.JobWindow = static_cast<std::int32_t>(t.top.window);
                    return;
                }
            }
        }
    }
}

JobCloseResult CloseJobWindows(int JobIndex) {
    if (JobIndex < 1 || JobIndex > JobCount()) return JobCloseResult::Nothing;
    JobRec& job = Job(JobIndex);
    const pid_t group = job.ProcInfo.dwProcessId;
    if (group <= 0) return JobCloseResult::Nothing;
    const XWindowId window = static_cast<std::uint32_t>(job.JobWindow);
    if (window != 0 && PidIsTheJobs(job.ProcInfo)) {
        XConnection x;
        // X window ids are handed out again once a program has gone: the
        // window must still be one of the job's before it is asked to close.
        const qint64 pid = x.windowPid(window);
        XWindowId last = window;
        if (pid > 0 && ProcessGroupOf(pid) == group && x.requestClose(window, &last) > 0) {
            job.JobWindow = static_cast<std::int32_t>(last);
            return JobCloseResult::WindowsAsked;
        }
    }
    const ProcessStamp stamp{group, static_cast<std::uint32_t>(job.ProcInfo.hProcess)};
    return TerminateProcessGroup(stamp) ? JobCloseResult::GroupSignalled : JobCloseResult::Nothing;
}
