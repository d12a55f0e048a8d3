#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "common/datetime.h"
#include "morvenda/core/jobrec.h"

// The job editor without its window: a value that holds what the editor's
// controls hold, filled from a job record, checked, and written back into the
// record. The window copies the value to and from its controls and nothing
// more, so every rule here is tested without a display.

/// Pages of the editor's tab strip.
enum EditPage : int {
    pgSubmission = 0,
    pgSubstitution = 1,
    pgTiming = 2,
    pgDependencies = 3,
    pgNormalEoj = 4,
    pgAbnormalEoj = 5,
};

/// Kind of file the job waits for (the list positions of cboFDStdCust).
enum WaitKind : int { wkNone = 0, wkInterschedule = 1, wkExternal = 2 };

/// Kind of trigger file the job creates when it ends.
enum TriggerKind : int { tkNone = 0, tkExternal = 1, tkInterschedule = 2 };

/// Condition words of the dependency grid.
inline const QString kCondSuccess = QStringLiteral("Success");
inline const QString kCondFailure = QStringLiteral("Failure");
inline const QString kCondUncond = QStringLiteral("Uncond");

/// One row of the dependency grid.
struct DepRow {
    QString Name;
    QString Group;
    bool Wait = false;     ///< "Wait EOJ" ticked: the row is a dependency
    QString Cond;          ///< kCondSuccess, kCondFailure, kCondUncond or ""
    bool Unsched = false;  ///< "Auto Unsched" ticked
    bool operator==(const DepRow&) const = default;
};

/// One row of the date-variable grid (its "As at Run Date" column is derived).
struct VarRow {
    QString Name;
    QString RelDay;
    QString RelMonth;
    QString Format;
    bool operator==(const VarRow&) const = default;
};

/// One body line of an end-of-job message with its five flags.
struct EojLine {
    QString Text;
    bool IsFile = false;
    bool VarSub = false;
    bool Attach = false;
    bool Filter = false;
    bool Delete = false;
    bool operator==(const EojLine&) const = default;
};

/// One end-of-job message: addresses, subject and four body lines.
struct EojPart {
    QString To;
    QString Cc;
    QString Subject;
    std::array<EojLine, 4> Lines;
    bool operator==(const EojPart&) const = default;
};

/// What the editor's controls hold.
struct JobEdit {
    // Submission page.
    QStringList Groups;  ///< entries of the group list
    QString Group;       ///< text of the group box
    QString JobName;
    QString CmdLine;
    bool DosProgram = false;
    QString JobDesc;
    QString CpuUsage;
    bool Critical = false;
    // Timing page.
    QString Time;
    QString Frequency;
    QString Exclusive;
    QStringList SkipOnList;  ///< the four entries of the skip-on list
    int SkipOnIndex = -1;    ///< selected entry, -1 for none
    bool SubmitOnly = false;
    bool DeferRollover = false;
    int Resched = 0;  ///< 0 (Never), 1 Success, 2 Unconditionally, 3 Failure
    // Substitution page.
    std::array<VarRow, 7> Vars;
    // Dependencies page.
    std::vector<DepRow> Deps;
    bool AllGroups = false;  ///< candidates of every group, else of the job's own group
    int Wait = wkNone;
    QString WaitForFile;      ///< the external file
    QStringList TriggerList;  ///< lines of the cross-schedule trigger list
    QString TriggerEntry;     ///< chosen line of the trigger list ("" none)
    bool DelTrigger = false;
    // Trigger file created at the end (Normal EOJ page).
    int Trigger = tkNone;
    QString ExtTrigFile;
    // End-of-job pages: 0 normal, 1 abnormal.
    std::array<EojPart, 2> Eoj;
    QString DeferEojBy;
    bool SuppNoBody = false;
    /// The command line was empty when the editor opened.
    bool WasNullJob = false;

    /// Text of the skip-on list ("" when nothing is selected).
    QString SkipOn() const;
    bool operator==(const JobEdit&) const = default;
};

/// The lines of the cross-schedule trigger list G.gJobIndexFile (none when
/// it is unset or cannot be read). *Read, when given, tells whether the list
/// was there to read: an unset or missing list says nothing about the jobs
/// of other schedules.
QStringList TriggerListLines(bool* Read = nullptr);

/// The line of Lines that names the job WaitForFile waits for (".." and the
/// job name): the last line whose text before its first blank equals the
/// name without regard to case; "" when none does.
QString TriggerEntryFor(const QStringList& Lines, const QString& WaitForFile);

/// A frequency keyword of the editor's list with its description.
struct FreqKeyword {
    QString Keyword;
    QString Description;
};

/// The 22 keywords of the editor's list in their order (the "Workdays"
/// description names G.gWorkdays).
std::array<FreqKeyword, 22> FrequencyKeywords();

/// Reads job JobIndex of G.Jobs into an editor value. The group list holds
/// every distinct trimmed group of the table; the skip-on list its four
/// entries. Prerequisites that no longer exist are asked about once ("Do you
/// wish to keep them?"); empty dependency entries are dropped and values out
/// of range (a reschedule choice above 3, a flag digit above 1, a condition
/// letter other than S, F or U) are shown corrected, each with one warning.
/// Nothing in the table changes.
JobEdit LoadJobEdit(int JobIndex);

/// The entry of the skip-on list that shows the run date, or the job's
/// skip-on date when that is a date.
QString SkipOnDateEntry(const QString& SkipOn);

/// One finding of the checks: an error stops the save, a warning only
/// informs, a question offers "Daily" as the frequency.
struct EditIssue {
    enum Kind { Error, Warning, DailyQuestion };
    Kind kind = Error;
    int Step = 0;  ///< number of the check, in the order they run
    int Page = pgSubmission;
    QString Field;  ///< objectName of the control to focus ("" none)
    QString Message;
    QString Title;  ///< "" for the program's own title
    bool operator==(const EditIssue&) const = default;
};

/// Every finding about E in the order the editor reports them (all of them,
/// not only up to the first error). CurJob is the job being edited, skipped
/// by the test for a duplicate name.
std::vector<EditIssue> CheckJobEdit(const JobEdit& E, int CurJob);

/// Runs the checks as the editor does on OK: warnings are shown, the "Daily"
/// questions asked (Yes puts "Daily" into E.Frequency), and the first error
/// is shown and returned. ShowPage is called with the page of the null-job
/// warning before it is shown. nullopt when E may be saved.
std::optional<EditIssue> ValidJobEdit(JobEdit& E, int CurJob, const std::function<void(int)>& ShowPage = {});

/// Writes E into J as the editor's OK does: every field the editor shows,
/// the name in upper case, ticked named dependency rows in grid order with
/// their letters ("S", "F", "U") and unschedule flags ("Y" or "N").
void ApplyJobEdit(const JobEdit& E, JobRec& J);

/// The found file when Program names a file, as given or in one of the
/// folders of PATH; "" when it cannot be found. A name ending in ".exe" is
/// also tried without it.
QString DirChk(const QString& Program);

/// Why the save stopped: the page and field to bring forward (Field "" when
/// the operator chose to go on editing without a field to fix).
struct SaveStop {
    int Page = -1;  ///< -1: stay on the page shown
    QString Field;
};

/// The editor's OK: checks (ValidJobEdit), asks about a changed trigger file
/// and a program that cannot be found, carries a rename into the jobs that
/// depend on the job and into its documentation file, writes E into job
/// CurJob and saves the schedule. nullopt when saved; otherwise the record
/// and the file are untouched. The schedule file is written only after every
/// check has passed.
std::optional<SaveStop> SaveJobEdit(JobEdit& E, int CurJob, const std::function<void(int)>& ShowPage = {});

/// Renames the job's documentation file after a rename (the one place that
/// does so; see jobedit.cpp). Tests observe the call with SetJobDocRenamer.
void RenameJobDocument(const QString& OldName, const QString& NewName);
void SetJobDocRenamer(std::function<void(const QString&, const QString&)> Renamer);

/// The date as the try lists show it: "dddd " and gDateFmtLong.
QString TryDateText(const DateVal& D);

/// The run dates Frequency selects from G.gRunDate on: at most 20, none later
/// than 349 days after it, each marked " (Skipped)" when SkipOn (a date or
/// the skip keyword) skips it.
QStringList TryRunDates(const QString& Frequency, const QString& SkipOn);

/// The date-variable definitions of the grid rows ("name,relday,relmonth,format").
std::array<QString, 7> VarDefinitions(const std::array<VarRow, 7>& Vars);

/// CmdLine with the date variables of Vars substituted for G.gRunDate; a
/// substitution that fails gives its reason in brackets.
QString TrySubst(const QString& CmdLine, const QString& Frequency, const std::array<VarRow, 7>& Vars);

/// The "As at Run Date" value of row Row of Vars ("" for a row without a name).
QString AsAtValue(const std::array<VarRow, 7>& Vars, int Row, const QString& Frequency);

/// A grid row from a definition "name,relday,relmonth,format".
VarRow VarRowOf(const QString& Definition);
