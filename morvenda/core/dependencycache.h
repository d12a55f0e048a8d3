#pragma once

#include "morvenda/core/jobnames.h"

#include <QChar>
#include <QLatin1String>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct JobRec;

/// The frame of a waiting job's status around its wait text.
inline constexpr QLatin1String kDepWaitBefore("Wait Job (");
inline constexpr QLatin1String kDepWaitAfter(")");

// What the dependency functions (dependency.h, dependencypass.h) keep
// between calls, in one object of the program state (G.Deps): a fresh state
// starts with all of it empty. Nothing outside those functions reads it.

/// One prerequisite of a job, resolved to its index in the table. Entries
/// that name no job of the schedule are met and add nothing to a closure, so
/// they are not kept.
struct DepEdge {
    int job = 0;
    QChar letter;  // upper case; null when the job has no letter for the entry
    bool unsched = false;
};

/// A job's prerequisites as the dependency walk uses them, built from the
/// record and kept while the record's name and lists are unchanged. The
/// copies share the record's text: any change to the record's own value
/// detaches it, so comparing the data pointers tells whether it changed.
struct JobDeps {
    bool built = false;
    bool hasEmpty = false;
    QString nameRef;
    QStringList listRef;
    QString lettersRef;
    QString flagsRef;
    QString name;  // trimmed
    std::vector<DepEdge> edges;
};

/// The name index, every job's prerequisites, the scratch space of the
/// closure walks and the kick pass's results.
struct DependencyCache {
    NameIndex Names;

    // The prerequisites, valid for one generation of the name index (which
    // changes with the table's size and order, and with any job's name).
    bool fitted = false;
    std::uint64_t namesGeneration = 0;
    std::vector<JobDeps> jobs;
    std::vector<std::uint32_t> seen;      // the walk's stamp: the job is in the closure
    std::vector<std::uint32_t> expanded;  // the walk's stamp: the job's entries were added
    std::uint32_t stamp = 0;
    std::vector<DepEdge> closure;

    // The kick pass's results. A job's result depends on the jobs of its
    // closure only, so a change of one job makes the results of the jobs
    // that reach it (its dependants, through the reverse edges) stale.
    // `clock` counts the changes; dirty[j] is the clock of the last change
    // that reached job j; a result computed at a clock not below it stands.
    std::vector<std::uint8_t> states;  // each job's state when last seen
    std::uint64_t clock = 1;
    std::vector<std::uint64_t> dirty;
    struct Result {
        std::uint64_t at = 0;
        QString result;  // "" = none yet
        QString text;
    };
    std::vector<Result> results;
    // Reverse edges as one array: the dependants of job p are
    // dependants[firstDependant[p] .. firstDependant[p + 1]).
    std::vector<int> firstDependant;
    std::vector<int> dependants;
    bool reverseStale = true;
    std::vector<std::uint32_t> marked;  // stamp of the dependant walk
    std::uint32_t markStamp = 0;
    std::vector<int> queue;
    // Set by BeginDependencyPass: every job's prerequisites are as their
    // records held them, the reverse edges are whole and `states` holds every
    // job's state (SetJobState tells each change). The pass's walks then read
    // only the graph, and its results are kept. Dropped by anything that
    // rebuilds prerequisites outside the pass start.
    bool passFresh = false;

    // Wait texts are written into `scratch`, which keeps its storage between
    // evaluations, then shared through `pool`: the jobs waiting on the same
    // prerequisites (and a text that comes back on a later pass) hold one
    // copy, and finding it again allocates nothing. Long texts, which name
    // whole chains and are rarely alike, are not pooled.
    QString scratch;
    QSet<QString> pool;
    std::vector<const QString*> words;  // per closure entry: its wait word, null when met

    /// Makes the prerequisites fit the table: dropped whole when the name
    /// index was rebuilt since. CheckNames: every job's name is compared
    /// first (one pass over the jobs); otherwise only the table's version.
    void Fit(bool CheckNames);
    /// Walks the closure of job JobIndex (1 to n) into `closure`: the job's
    /// own entries whole, then the entries of every job reached not yet in
    /// it, with the letter and flag first seen. InPass: trusts the graph when
    /// the pass's start made it fresh.
    void Walk(int JobIndex, bool InPass);
    /// The result of the closure in `closure` (gDepMet, gDepWait, gDepNever)
    /// and its wait text; InPass: the text framed as the waiting job's status
    /// "Wait Job (...)", and the pass's states when it is fresh.
    QString Evaluate(QString& Text, bool InPass);
    /// Job JobIndex's record read again into its prerequisites when it
    /// changed; false when its name changed (a new index is needed first).
    bool Current(int JobIndex);
    /// Whether the prerequisites of D were built from J as it is.
    static bool Fresh(const JobDeps& D, const JobRec& J);
    /// Reads J's prerequisites into D.
    void Build(JobDeps& D, const JobRec& J);
    /// Drops the pooled texts no result, status or window holds any more.
    void PrunePool();

private:
    bool WalkOnce(int JobIndex, bool InPass);
    QString Pooled();
};
