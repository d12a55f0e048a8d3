#pragma once

#include "common/datetime.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

// One job of a schedule and the table of all of them.
//
// Fixed-width texts of the record (group, name, start text, skip-on date,
// trigger file, description, error texts) are held no longer than their width
// (see the constants below) but are not padded: every reader trims anyway, and
// writers that want a padded name pad it where they show it.

/// Widths of the record's fixed texts.
inline constexpr int kGroupWidth = 8;
inline constexpr int kJobNameWidth = 8;
inline constexpr int kEarlyStartWidth = 5;
inline constexpr int kSkipOnWidth = 11;
inline constexpr int kSchedFlagWidth = 1;
inline constexpr int kSpare24Width = 8;
inline constexpr int kTriggerFileWidth = 100;
inline constexpr int kJobDescWidth = 150;
inline constexpr int kErrorTextWidth = 100;

/// Run state of a job (JobState).
enum JobStateValue : std::uint8_t {
    jsScheduled = 0,
    jsRunning = 1,
    jsCompleted = 2,
    jsEndForced = 3,
    jsSubmitFailed = 4,
    jsNotScheduled = 5,
    jsAborted = 6,
    jsUnscheduled = 7,
};

/// The running job's process as the launcher returned it. On Linux the
/// process id serves as thread id too; the two handle fields are free, and
/// the launcher keeps in hProcess the low 32 bits of the process start time so
/// that a scheduler restarted mid-run never takes a reused pid for the job;
/// hThread holds the pid of the job's keeper (0 for a process without one).
struct ProcessInfo {
    std::int32_t hProcess = 0;
    std::int32_t hThread = 0;
    std::int32_t dwProcessId = 0;
    std::int32_t dwThreadId = 0;
    bool operator==(const ProcessInfo&) const = default;
};

struct JobRec {
    // What a kick pass reads of every job, every pass, comes first: a few
    // lines of memory, apart from the texts most passes never look into.
    // (The schedule file's column order is its own, not this one.)
    std::uint8_t JobState = jsScheduled;
    bool DeferRollover = false;
    bool SubmitOnly = false;
    bool Killed = false;
    bool DosProgram = false;
    std::int16_t WinFailed = 0;
    std::int16_t CpuUsage = 0;
    std::int32_t LastDuration = 0;
    ProcessInfo ProcInfo;
    DateVal GraceUntil;
    DateVal EarlyStart;
    QString JobName;
    QString CommandLine;
    /// Prerequisite job names: dependency k (numbered from 1) is RunAfter[k-1].
    QStringList RunAfter;
    /// One letter per RunAfter item: "S" succeed, "F" fail, "U" unconditional.
    QString RunAfterStatus;
    /// One letter per RunAfter item: "Y" unschedule when it can never be met.
    QString RunAfterUnsched;

    QString Group;
    QString WaitForFile;
    QString EarlyStartText;
    QString Exclusive;
    bool RunsToday = false;
    QString Frequency;
    QString SkipOn;
    DateVal Started;
    DateVal Completed;
    bool ForceTrigger = false;
    /// 0 never, 1 on success, 2 unconditionally, 3 on failure.
    std::uint8_t AutoResched = 0;
    std::int32_t JobWindow = 0;
    QString SchedFlag;
    bool EndForced = false;
    bool SkipToday = false;
    std::int32_t EventIndex = -1;  // wide enough that the event counter never wraps
    QString EojTo;
    QString EojCc;
    QString AbEojTo;
    QString AbEojCc;
    /// 0 the subject, 1 to 4 the body lines.
    std::array<QString, 5> EojMsg;
    std::array<QString, 5> AbEojMsg;
    QString Spare24;
    std::int16_t Spare25 = 0;
    /// Items 1 to 4: five "0"/"1" characters each (IsFile, VarSub, Attach,
    /// Filter, Delete) for the body line of the same number; item 0 unused.
    std::array<QString, 5> EojFlags;
    std::array<QString, 5> AbEojFlags;
    std::int16_t DeferEojMins = 0;
    QString StatusText;
    QString TriggerFile;
    bool DelWaitFile = false;
    QString JobDesc;
    std::int32_t Spare34 = 0;
    bool Critical = false;
    bool SuppNoBody = false;
    QString ErrorText;
    /// Seven definitions "name,relday,relmonth,format"; empty slots hold none.
    std::array<QString, 7> DateVars;
    QString WinErrorText;
    /// Real moments (seconds since 1970; 0 unknown) of Started and Completed,
    /// kept while the scheduler runs and in the run journal: the schedule file
    /// holds only the wall-clock times, which a clock change makes ambiguous.
    qint64 StartedReal = 0;
    qint64 CompletedReal = 0;

    bool operator==(const JobRec&) const = default;
};

/// The job table: element 0 is the grid's copy buffer, jobs are 1 to n.
///
/// A vector of records that counts its changes of size and order: every
/// member that adds, removes, moves or replaces records gives the table a new
/// Version(), so the name index and the dependency results built over it know
/// they are stale without being told. Reading and writing a record's fields
/// leave the version alone (see jobnames.h and dependencypass.h for how such
/// writes are caught).
class JobTable {
public:
    using value_type = JobRec;
    using iterator = std::vector<JobRec>::iterator;
    using const_iterator = std::vector<JobRec>::const_iterator;

    JobTable() = default;
    explicit JobTable(size_t Count) : jobs_(Count) {}
    JobTable(std::vector<JobRec> Jobs) : jobs_(std::move(Jobs)) {}
    JobTable(const JobTable& Other) : jobs_(Other.jobs_) {}
    JobTable(JobTable&& Other) noexcept : jobs_(std::move(Other.jobs_)) { Other.Changed(); }
    /// Assignment takes the other table's records and gives this one a
    /// version it never had, whatever the other's.
    JobTable& operator=(const JobTable& Other);
    JobTable& operator=(JobTable&& Other) noexcept;

    /// Counts every change of size or order since the table was made.
    std::uint64_t Version() const { return version_; }

    size_t size() const { return jobs_.size(); }
    bool empty() const { return jobs_.empty(); }
    JobRec& operator[](size_t i) { return jobs_[i]; }
    const JobRec& operator[](size_t i) const { return jobs_[i]; }
    JobRec& front() { return jobs_.front(); }
    const JobRec& front() const { return jobs_.front(); }
    JobRec& back() { return jobs_.back(); }
    const JobRec& back() const { return jobs_.back(); }
    JobRec* data() { return jobs_.data(); }
    const JobRec* data() const { return jobs_.data(); }
    iterator begin() { return jobs_.begin(); }
    iterator end() { return jobs_.end(); }
    const_iterator begin() const { return jobs_.begin(); }
    const_iterator end() const { return jobs_.end(); }
    void reserve(size_t Count) { jobs_.reserve(Count); }

    void resize(size_t Count);
    void push_back(const JobRec& Job);
    void push_back(JobRec&& Job);
    /// Appends a default record and returns it.
    JobRec& emplace_back();
    void pop_back();
    iterator insert(const_iterator Where, const JobRec& Job);
    iterator erase(const_iterator Where);
    iterator erase(const_iterator First, const_iterator Last);
    void clear();
    /// Exchanges records A and B (indices within the table; nothing happens
    /// otherwise).
    void Swap(size_t A, size_t B);
    /// Moves record From to index To, the records between shifting by one
    /// (indices within the table; nothing happens otherwise).
    void Move(size_t From, size_t To);

    /// The same records, in the same order (versions aside).
    bool operator==(const JobTable& Other) const { return jobs_ == Other.jobs_; }

private:
    void Changed() { ++version_; }

    std::vector<JobRec> jobs_;
    std::uint64_t version_ = 0;
};
