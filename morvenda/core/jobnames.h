#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class JobTable;

// Jobs by name: the index of the job table's names (kept in the program
// state, G.Deps.Names), the lookup and the renames.

/// Index of a job table's names: an open-addressed table of job indices under
/// the hash of their name's key (trimmed, upper case). It holds copies of the
/// names that share their text with the records, so a name written straight
/// into a record since the index was built is told by comparing data, one
/// job at a time (Sync), without comparing texts.
class NameIndex {
public:
    /// Index (1 to n) of the first job of Jobs whose name has Name's key; 0
    /// when none has or Name is blank. A hit is checked against the job's own
    /// name. Synced: the caller has just called Sync, so a miss is final;
    /// otherwise a miss makes the index check every job's name first.
    int Find(const JobTable& Jobs, const QString& Name, bool Synced);
    /// Brings the index up to Jobs: rebuilt when the table changed size or
    /// order since it was built, or a job's name was written since (one pass
    /// over the jobs).
    void Sync(const JobTable& Jobs);
    /// Built for Jobs as it is now, names aside (no pass over the jobs).
    bool Current(const JobTable& Jobs) const;
    /// Job JobIndex's name is the one it was indexed under (Current only).
    bool Holds(const JobTable& Jobs, size_t JobIndex) const;
    /// Forgets the index; the next use rebuilds it.
    void Drop();
    /// Counts the rebuilds: what was resolved through the index at one count
    /// may be wrong at another.
    std::uint64_t Generation() const { return generation_; }

private:
    void Rebuild(const JobTable& Jobs);
    int Lookup(const JobTable& Jobs, const QString& Key) const;

    bool built_ = false;
    std::uint64_t version_ = 0;          // the table's version it was built for
    std::uint64_t generation_ = 0;       // see Generation
    std::vector<QString> names_;         // per job: its name, sharing the record's text
    std::vector<std::uint32_t> hashes_;  // per slot: the hash of its job's key
    std::vector<int> entries_;           // per slot: a job index, 0 free
    QString key_;                        // the key being looked up, reused between lookups
};

/// Index (1 to n) of the first job of the schedule (G.Jobs) whose trimmed
/// name equals the trimmed JobName without regard to case; 0 when there is
/// none or JobName is blank. O(1) amortised while the names are unchanged.
///
/// Always right after changes made through the table (G.Jobs's own members)
/// and RenameJob. After a name written straight into a record: a miss is still
/// right (it checks every job's name) and a hit is a job of that name, but of
/// several jobs of one name it may find a later one until the next
/// BeginDependencyPass, CheckDependency or miss.
int FindJob(const QString& JobName);

/// Gives job JobIndex (1 to n) the name NewName, as the record holds it, and
/// tells the index and the dependency results. An index outside 1 to n changes
/// nothing.
void RenameJob(int JobIndex, const QString& NewName);

/// After a rename (NewName not empty): every RunAfter entry equal to OldName
/// (trimmed, without regard to case) becomes NewName, and when any did the
/// operator is told which jobs changed. NewName empty: nothing changes and
/// NewName receives the list ", JOB1, JOB2" of the jobs that depend on OldName
/// (one item per matching entry; "" when none). A blank OldName matches nothing.
void UpdateDependents(const QString& OldName, QString& NewName);

/// After a rename: every WaitForFile equal to ".." & OldName (trimmed, without
/// regard to case) becomes ".." & NewName, and when any did the operator is
/// told which jobs changed and that other schedules must be updated by hand.
/// A blank OldName matches nothing.
void UpdateTriggerDependents(const QString& OldName, const QString& NewName);
