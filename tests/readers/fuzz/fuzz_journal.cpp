#include "morvenda/core/journalfile.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/journal.h"
#include "tests/readers/fuzz/fuzz.h"
#include "tests/support/jobbuilder.h"

// The run journal, replayed over a schedule of four jobs (BACKUP, REPORTS,
// MAILOUT, CLEANUP; the last has run). The replay changes no file; replayed
// a second time over its own result it changes nothing more and leaves the
// same work undone; every time it leaves in a job (or in an ending still to
// be carried out) is one the schedule file can hold, and every job is saved
// as a line that reads back the same.

namespace {

// The jobs as a load of the schedule file gives them.
JobTable Schedule() {
    JobTable jobs(1);
    for (const char* name : {"BACKUP", "REPORTS", "MAILOUT", "CLEANUP"}) {
        JobBuilder j(QString::fromLatin1(name));
        j.command(QStringLiteral("/bin/true")).frequency(QStringLiteral("Daily"));
        if (qstrcmp(name, "CLEANUP") == 0)
            j.ran(DateVal::fromDateTime(2026, 12, 8, 6, 0, 0), DateVal::fromDateTime(2026, 12, 8, 6, 5, 0));
        JobRec loaded;
        QString error;
        Require(ParseScheduleLine(ScheduleLine(j.rec()), QLatin1Char('\t'), &loaded, &error), error);
        jobs.push_back(loaded);
    }
    return jobs;
}

bool SameWork(const PendingWork& A, const PendingWork& B) {
    if (A.Submissions != B.Submissions || A.Endings.size() != B.Endings.size()) return false;
    for (size_t k = 0; k < A.Endings.size(); ++k) {
        const PendingEnding& a = A.Endings[k];
        const PendingEnding& b = B.Endings[k];
        const JobEndRecord& r = a.Record;
        const JobEndRecord& s = b.Record;
        if (a.Job != b.Job || a.Done != b.Done || r.Failed != s.Failed || r.Resched != s.Resched ||
            r.Forced != s.Forced || r.Completed != s.Completed || r.CompletedReal != s.CompletedReal ||
            r.Span != s.Span || r.LastDuration != s.LastDuration || r.ErrorText != s.ErrorText)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    InputFolder folder(QStringLiteral("journal"));
    FreshScheduler();
    static const JobTable schedule = Schedule();
    G.gSchedFile = folder.path + QStringLiteral("/fuzz.sch");
    G.Jobs = schedule;
    folder.put(RunJournalPath(), InputBytes(Data, Size));

    const PendingWork once = ReplayRunJournal();
    const JobTable afterOnce = G.Jobs;
    folder.requireUnchanged("replaying the journal changed its folder");
    const PendingWork twice = ReplayRunJournal();
    Require(G.Jobs == afterOnce, "replaying the journal a second time changed the jobs again");
    Require(SameWork(once, twice), "replaying the journal a second time leaves other work undone");

    for (const PendingEnding& p : once.Endings)
        Require(StorableDate(p.Record.Completed),
                QStringLiteral("an ending of job %1 is kept with a time outside the years 1 to 9999")
                    .arg(G.Jobs[static_cast<size_t>(p.Job)].JobName));
    for (size_t k = 1; k < G.Jobs.size(); ++k) RequireSavable(G.Jobs[k]);
    return 0;
}
