#include "morvenda/core/dependency.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The key names are compared by.
QString NameKey(const QString& name) { return name.trimmed().toUpper(); }

bool Ascii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

char16_t AsciiUpper(char16_t u) { return u >= u'a' && u <= u'z' ? static_cast<char16_t>(u - 32) : u; }

// NameKey(name) written into buf, which is reused between calls: names are
// short ASCII texts in practice, so a lookup allocates nothing.
const QString& KeyInto(const QString& name, QString& buf) {
    const QStringView t = QStringView(name).trimmed();
    if (!Ascii(t)) {
        buf = NameKey(name);
        return buf;
    }
    buf.resize(t.size());
    QChar* out = buf.data();
    for (qsizetype i = 0; i < t.size(); ++i) out[i] = QChar(AsciiUpper(t[i].unicode()));
    return buf;
}

// NameKey(name) == key, without making the key of name.
bool HasKey(const QString& name, const QString& key) {
    const QStringView t = QStringView(name).trimmed();
    if (!Ascii(t)) return NameKey(name) == key;
    if (t.size() != key.size()) return false;
    for (qsizetype i = 0; i < t.size(); ++i)
        if (AsciiUpper(t[i].unicode()) != key[i].unicode()) return false;
    return true;
}

// Name index of G.Jobs. It is valid while G.JobsVersion, the table's size and
// its storage are those it was built for; JobTableChanged gives the table a
// version never used before, ResetState a version of 0, which the index never
// takes as its own.
//
// An open-addressed table of job indices under the hash of their name's key:
// it holds no text of its own, so building it copies no name, and a look-up
// compares the key with the job's own name.
struct NameIndex {
    std::uint64_t version = 0;
    size_t size = 0;
    const JobRec* data = nullptr;
    std::vector<std::uint32_t> hashes;  // per slot: the hash of its job's key
    std::vector<int> entries;           // per slot: a job index, 0 free
};

NameIndex& Index() {
    static NameIndex idx;
    return idx;
}

std::uint64_t& VersionCounter() {
    static std::uint64_t counter = 0;
    return counter;
}

// FNV-1a over the key's UTF-16 units.
std::uint32_t KeyHash(const QString& key) {
    std::uint32_t h = 2166136261u;
    for (const QChar c : key) {
        h = (h ^ c.unicode()) * 16777619u;
    }
    return h;
}

size_t FirstSlot(const NameIndex& idx, std::uint32_t hash) { return hash & (idx.entries.size() - 1); }

void RebuildIndex(NameIndex& idx) {
    if (G.JobsVersion == 0) G.JobsVersion = ++VersionCounter();
    idx.version = G.JobsVersion;
    idx.size = G.Jobs.size();
    idx.data = G.Jobs.data();
    // At most half full, so a probe ends soon.
    size_t capacity = 16;
    while (capacity < 2 * G.Jobs.size()) capacity *= 2;
    idx.entries.assign(capacity, 0);
    idx.hashes.assign(capacity, 0);
    QString key;
    for (int i = 1; i <= JobCount(); ++i) {
        KeyInto(Job(i).JobName, key);
        if (key.isEmpty()) continue;
        const std::uint32_t h = KeyHash(key);
        // The first job of a name is the one found.
        for (size_t s = FirstSlot(idx, h);; s = (s + 1) & (capacity - 1)) {
            if (idx.entries[s] == 0) {
                idx.entries[s] = i;
                idx.hashes[s] = h;
                break;
            }
            if (idx.hashes[s] == h && HasKey(Job(idx.entries[s]).JobName, key)) break;
        }
    }
}

// The job the index holds under key: its index, 0 for none, -1 when an entry
// of the same hash no longer has its name (the table changed unannounced).
int IndexLookup(const NameIndex& idx, const QString& key) {
    const std::uint32_t h = KeyHash(key);
    const size_t mask = idx.entries.size() - 1;
    for (size_t s = FirstSlot(idx, h); idx.entries[s] != 0; s = (s + 1) & mask) {
        if (idx.hashes[s] != h) continue;
        const int i = idx.entries[s];
        if (i > JobCount()) return -1;
        if (HasKey(Job(i).JobName, key)) return i;
        // Another name of the same hash goes on; a job whose name is no
        // longer the one it was indexed under means a stale index.
        QString other;
        if (KeyHash(KeyInto(Job(i).JobName, other)) != h) return -1;
    }
    return 0;
}

bool IndexCurrent(const NameIndex& idx) {
    return G.JobsVersion != 0 && idx.version == G.JobsVersion && idx.size == G.Jobs.size() && idx.data == G.Jobs.data();
}

// One prerequisite of a job, resolved to its index in the table. Entries that
// name no job of the schedule are met and add nothing to a closure, so they
// are not kept.
struct Edge {
    int job = 0;
    QChar letter;  // upper case; null when the job has no letter for the entry
    bool unsched = false;
};

// A job's prerequisites as the dependency walk uses them, built from the
// record and kept while the record's name and lists are unchanged. The
// copies share the record's text: any change to the record's own value
// detaches it, so comparing the data pointers tells whether it changed.
struct JobDeps {
    // What every pass compares comes first.
    bool built = false;
    bool hasEmpty = false;
    QString nameRef;
    QStringList listRef;
    QString lettersRef;
    QString flagsRef;
    QString name;  // trimmed
    std::vector<Edge> edges;
};

// The prerequisites of every job, and the scratch space of the walks.
struct DepGraph {
    std::uint64_t version = 0;  // G.JobsVersion it was built for
    std::vector<JobDeps> jobs;
    std::vector<std::uint32_t> seen;      // the walk's stamp: the job is in the closure
    std::vector<std::uint32_t> expanded;  // the walk's stamp: the job's entries were added
    std::uint32_t stamp = 0;
    std::vector<Edge> closure;

    // The kick pass's results. A job's result depends on the jobs of its
    // closure only, so a change of one job makes the results of the jobs
    // that reach it (its dependants, through the reverse edges) stale.
    // `clock` counts the changes; dirty[j] is the clock of the last change
    // that reached job j; a result computed at a clock not below it stands.
    std::vector<std::uint8_t> states;  // each job's state when last seen
    std::vector<QString> names;        // share each job's name, as JobDeps::nameRef
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
    // Prerequisites were rebuilt outside BeginDependencyPass: the dependants
    // of the jobs concerned are not known, so every result is dropped.
    bool resultsStale = false;
    std::vector<std::uint32_t> marked;  // stamp of the dependant walk
    std::uint32_t markStamp = 0;
    std::vector<int> queue;

    // Wait texts are written into `scratch`, which keeps its storage between
    // evaluations, then shared through `pool`: the jobs waiting on the same
    // prerequisites (and a text that comes back on a later pass) hold one
    // copy, and finding it again allocates nothing. Long texts, which name
    // whole chains and are rarely alike, are not pooled.
    QString scratch;
    QSet<QString> pool;
    std::vector<const QString*> words;  // per closure entry: its wait word, null when met
    // Set by BeginDependencyPass: every job's prerequisites are as their
    // records hold them and `states` holds every job's state (the pass tells
    // each change). The pass's walks then read only the graph, not the
    // records. Dropped by anything that rebuilds or reads outside the pass.
    bool passFresh = false;
};

constexpr qsizetype kMaxPooledText = 512;
constexpr qsizetype kPoolPrune = 4096;

// Drops the pooled texts no result, status or window holds any more.
void PrunePool(QSet<QString>& pool) {
    if (pool.size() < kPoolPrune) return;
    for (auto it = pool.begin(); it != pool.end();) {
        if (it->isDetached())
            it = pool.erase(it);
        else
            ++it;
    }
    if (pool.size() >= kPoolPrune) pool.clear();
}

// The text in scratch as a string of its own, shared with an equal one
// made before when there is one.
QString Pooled(DepGraph& g) {
    if (g.scratch.isEmpty()) return QString();
    if (g.scratch.size() > kMaxPooledText) return QString(g.scratch.constData(), g.scratch.size());
    auto it = g.pool.constFind(g.scratch);
    if (it != g.pool.cend()) return *it;
    return *g.pool.insert(QString(g.scratch.constData(), g.scratch.size()));
}

DepGraph& Graph() {
    static DepGraph g;
    return g;
}

bool Fresh(const JobDeps& d, const JobRec& J) {
    return d.built && SameData(d.nameRef, J.JobName) && SameData(d.listRef, J.RunAfter) &&
           SameData(d.lettersRef, J.RunAfterStatus) && SameData(d.flagsRef, J.RunAfterUnsched);
}

void Build(DepGraph& g, JobDeps& d, const JobRec& J) {
    if (d.built) g.resultsStale = true;
    g.passFresh = false;
    g.reverseStale = true;
    d.nameRef = J.JobName;
    d.listRef = J.RunAfter;
    d.lettersRef = J.RunAfterStatus;
    d.flagsRef = J.RunAfterUnsched;
    d.name = J.JobName.trimmed();
    d.edges.clear();
    d.hasEmpty = false;
    for (qsizetype k = 0; k < J.RunAfter.size(); ++k) {
        const QString& entry = J.RunAfter.at(k);
        if (QStringView(entry).trimmed().isEmpty()) {
            d.hasEmpty = true;
            continue;
        }
        const int p = FindJob(entry);
        if (p <= 0) continue;
        const QChar letter = k < J.RunAfterStatus.size() ? J.RunAfterStatus.at(k).toUpper() : QChar();
        const bool unsched = k < J.RunAfterUnsched.size() && J.RunAfterUnsched.at(k).toUpper() == QLatin1Char('Y');
        d.edges.push_back(Edge{p, letter, unsched});
    }
    d.built = true;
}

// Makes the graph fit the table: a new table version, or a table of another
// size, drops every job's prerequisites (they are built again when reached).
void Fit(DepGraph& g) {
    if (G.JobsVersion == 0) JobTableChanged();
    if (g.version == G.JobsVersion && g.jobs.size() == G.Jobs.size()) return;
    g.version = G.JobsVersion;
    g.passFresh = false;
    g.jobs.assign(G.Jobs.size(), JobDeps{});
    g.seen.assign(G.Jobs.size(), 0);
    g.expanded.assign(G.Jobs.size(), 0);
    g.stamp = 0;
    g.results.assign(G.Jobs.size(), DepGraph::Result{});
    g.dirty.assign(G.Jobs.size(), 0);
    g.marked.assign(G.Jobs.size(), 0);
    g.markStamp = 0;
    g.reverseStale = true;
    g.resultsStale = false;
    ++g.clock;
}

// Job p's prerequisites, brought up to date. False when the job's name
// changed without JobTableChanged: every resolved name may then be wrong.
bool Current(DepGraph& g, int p) {
    JobDeps& d = g.jobs[static_cast<size_t>(p)];
    const JobRec& J = Job(p);
    if (Fresh(d, J)) return true;
    if (d.built && !SameData(d.nameRef, J.JobName)) return false;
    Build(g, d, J);
    return true;
}

// The editor and the save keep empty entries out; one found here (a
// hand-edited file) is skipped, and reported once, rather than stopping the
// program in the middle of a run.
void ReportEmpty(const JobDeps& d) { ReportEmptyDependency(d.name); }

// Walks the closure of JobIndex into g.closure: the job's own entries whole,
// then, walking the list as it grows, the entries of every job it names that
// are not yet in the list, with the letter and flag first seen. Each job is
// expanded once; linear in the entries visited. False when a name changed
// without JobTableChanged (the caller starts again on a new table version).
bool WalkClosure(DepGraph& g, int JobIndex, bool inPass) {
    Fit(g);
    // In a pass every job's prerequisites are known to be current.
    const bool trusted = inPass && g.passFresh;
    if (++g.stamp == 0) {
        std::fill(g.seen.begin(), g.seen.end(), 0);
        std::fill(g.expanded.begin(), g.expanded.end(), 0);
        g.stamp = 1;
    }
    g.closure.clear();
    if (!trusted && !Current(g, JobIndex)) return false;
    const JobDeps& own = g.jobs[static_cast<size_t>(JobIndex)];
    if (own.hasEmpty) ReportEmpty(own);
    for (const Edge& e : own.edges) {
        g.closure.push_back(e);
        g.seen[static_cast<size_t>(e.job)] = g.stamp;
    }
    // A job named twice by the own list is expanded once: the second time
    // would add nothing.
    for (size_t i = 0; i < g.closure.size(); ++i) {
        const int p = g.closure[i].job;
        std::uint32_t& x = g.expanded[static_cast<size_t>(p)];
        if (x == g.stamp) continue;
        x = g.stamp;
        if (!trusted && !Current(g, p)) return false;
        const JobDeps& d = g.jobs[static_cast<size_t>(p)];
        if (d.hasEmpty) ReportEmpty(d);
        for (const Edge& e : d.edges) {
            std::uint32_t& s = g.seen[static_cast<size_t>(e.job)];
            if (s == g.stamp) continue;
            s = g.stamp;
            g.closure.push_back(e);
        }
    }
    return true;
}

// The wait word of one entry whose prerequisite is in state `state`; "" when
// the entry is met. Sets never when the entry can no longer be met and asks
// for unscheduling.
const QString& WaitWord(std::uint8_t state, const Edge& e, bool& never) {
    static const QString running = QStringLiteral("Running");
    static const QString notStarted = QStringLiteral("Not Started");
    static const QString failed = QStringLiteral("Failed");
    static const QString succeeded = QStringLiteral("Succeeded");
    static const QString submitFailed = QStringLiteral("Submit Failed");
    static const QString met;
    if (state == jsRunning) return running;
    if (state == jsScheduled) return notStarted;
    if (state == jsAborted && e.letter == QLatin1Char('S')) {
        never = never || e.unsched;
        return failed;
    }
    if ((state == jsCompleted || state == jsUnscheduled) && e.letter == QLatin1Char('F')) {
        never = never || e.unsched;
        return succeeded;
    }
    // A prerequisite whose submission failed never ran: it is pending for
    // every letter until the operator reschedules or forces it.
    if (state == jsSubmitFailed) return submitFailed;
    return met;
}

// The frame of a waiting job's status around its wait text.
constexpr QLatin1String kWaitBefore("Wait Job (");
constexpr QLatin1String kWaitAfter(")");

// The result and wait text of the closure in g.closure. In the pass the text
// is the waiting job's status, "Wait Job (...)" ("" when nothing is pending),
// and the states are the pass's own (see passFresh).
QString Evaluate(DepGraph& g, QString& Text, bool InPass = false) {
    const bool passStates = InPass && g.passFresh;
    // The pending entries and the length of their text first, then the text
    // written at once into storage of that size: a long wait text is not
    // grown piece by piece.
    bool never = false;
    g.words.clear();
    qsizetype length = 0;
    for (const Edge& e : g.closure) {
        const std::uint8_t state = passStates ? g.states[static_cast<size_t>(e.job)] : Job(e.job).JobState;
        const QString& word = WaitWord(state, e, never);
        if (word.isEmpty()) {
            g.words.push_back(nullptr);
            continue;
        }
        g.words.push_back(&word);
        // ", " NAME "(" LETTER ") - " WORD
        length +=
            2 + g.jobs[static_cast<size_t>(e.job)].name.size() + 1 + (e.letter.isNull() ? 0 : 1) + 4 + word.size();
    }
    QString& text = g.scratch;
    if (length == 0) {
        text.resize(0);
        Text = QString();
        return gDepMet;
    }
    length -= 2;  // no separator before the first entry
    if (InPass) length += kWaitBefore.size() + kWaitAfter.size();
    text.resize(length);  // keeps the storage between evaluations
    QChar* out = text.data();
    const auto put = [&out](const QString& s) {
        std::copy(s.cbegin(), s.cend(), out);
        out += s.size();
    };
    const auto putLatin1 = [&out](QLatin1String s) {
        for (const char c : s) *out++ = QLatin1Char(c);
    };
    if (InPass) putLatin1(kWaitBefore);
    bool first = true;
    for (size_t i = 0; i < g.closure.size(); ++i) {
        const QString* word = g.words[i];
        if (!word) continue;
        const Edge& e = g.closure[i];
        if (!first) putLatin1(QLatin1String(", "));
        first = false;
        put(g.jobs[static_cast<size_t>(e.job)].name);
        *out++ = QLatin1Char('(');
        if (!e.letter.isNull()) *out++ = e.letter;
        putLatin1(QLatin1String(") - "));
        put(*word);
    }
    if (InPass) putLatin1(kWaitAfter);
    Text = Pooled(g);
    return never ? gDepNever : gDepWait;
}

QString JobListText(const QString& list) { return list.mid(2).toUpper(); }

}  // namespace

int FindJob(const QString& JobName) {
    static QString buf;
    const QString& key = KeyInto(JobName, buf);
    if (key.isEmpty()) return 0;
    NameIndex& idx = Index();
    if (!IndexCurrent(idx)) RebuildIndex(idx);
    const int i = IndexLookup(idx, key);
    if (i >= 0) return i;
    // A hit is checked against the table, so a change nobody announced cannot
    // return the wrong job.
    RebuildIndex(idx);
    return std::max(IndexLookup(idx, key), 0);
}

void JobTableChanged() { G.JobsVersion = ++VersionCounter(); }

namespace {

// Walks the closure of JobIndex, starting again once on a new table version
// when a job was renamed without JobTableChanged.
void Walk(DepGraph& g, int JobIndex, bool inPass = false) {
    if (WalkClosure(g, JobIndex, inPass)) return;
    JobTableChanged();
    WalkClosure(g, JobIndex, inPass);
}

}  // namespace

void ReportEmptyDependency(const QString& JobName) {
    const QString job = JobName.trimmed().toUpper();
    if (G.EmptyDepsReported.contains(job)) return;
    G.EmptyDepsReported.insert(job);
    WriteLog(G.gLogFile,
             QStringLiteral("Empty RunAfter entry for job ") + JobName.trimmed() + QStringLiteral(" skipped."));
}

QString CheckDependency(int JobIndex, QString& Text, bool FindMode) {
    if (JobIndex < 1 || JobIndex > JobCount()) {
        if (FindMode) return QString();
        Text.clear();
        return gDepMet;
    }
    DepGraph& g = Graph();
    Walk(g, JobIndex);

    if (FindMode) {
        const QStringView wanted = QStringView(Text).trimmed();
        for (const Edge& e : g.closure) {
            if (QStringView(Job(e.job).JobName).trimmed() == wanted) return gDepFound;
        }
        return QString();
    }
    return Evaluate(g, Text);
}

namespace {

void BuildReverse(DepGraph& g) {
    const size_t n = G.Jobs.size();
    g.firstDependant.assign(n + 1, 0);
    for (size_t j = 1; j < n; ++j)
        for (const Edge& e : g.jobs[j].edges) ++g.firstDependant[static_cast<size_t>(e.job) + 1];
    for (size_t p = 0; p < n; ++p) g.firstDependant[p + 1] += g.firstDependant[p];
    g.dependants.assign(static_cast<size_t>(g.firstDependant[n]), 0);
    std::vector<int> fill(g.firstDependant.begin(), g.firstDependant.end() - 1);
    for (size_t j = 1; j < n; ++j)
        for (const Edge& e : g.jobs[j].edges)
            g.dependants[static_cast<size_t>(fill[static_cast<size_t>(e.job)]++)] = static_cast<int>(j);
    g.reverseStale = false;
}

// Marks every job that reaches job x through its dependencies (x itself
// only when it lies on a cycle) as changed at the current clock.
void MarkDependants(DepGraph& g, int x) {
    if (++g.markStamp == 0) {
        std::fill(g.marked.begin(), g.marked.end(), 0);
        g.markStamp = 1;
    }
    g.queue.clear();
    g.queue.push_back(x);
    for (size_t i = 0; i < g.queue.size(); ++i) {
        const size_t p = static_cast<size_t>(g.queue[i]);
        for (int k = g.firstDependant[p]; k < g.firstDependant[p + 1]; ++k) {
            const size_t d = static_cast<size_t>(g.dependants[static_cast<size_t>(k)]);
            if (g.marked[d] == g.markStamp) continue;
            g.marked[d] = g.markStamp;
            g.dirty[d] = g.clock;
            g.queue.push_back(static_cast<int>(d));
        }
    }
}

void DropResults(DepGraph& g) {
    g.results.assign(G.Jobs.size(), DepGraph::Result{});
    g.resultsStale = false;
    ++g.clock;
}

// One walk over the table: the jobs whose prerequisites or state changed go
// to `changed`. False, at the first job found renamed without
// JobTableChanged (every resolved name may then be wrong).
bool SeeChanges(DepGraph& g, std::vector<int>& changed) {
    for (size_t j = 1; j < G.Jobs.size(); ++j) {
        const JobRec& J = G.Jobs[j];
        if (!SameData(g.names[j], J.JobName)) return false;
        JobDeps& d = g.jobs[j];
        bool change = false;
        if (!Fresh(d, J)) {
            // Changed here, where its dependants are marked below: no need to
            // drop every result.
            const bool stale = g.resultsStale;
            Build(g, d, J);
            g.resultsStale = stale;
            change = true;
        }
        if (g.states[j] != J.JobState) {
            g.states[j] = J.JobState;
            change = true;
        }
        if (change) changed.push_back(static_cast<int>(j));
    }
    return true;
}

}  // namespace

void BeginDependencyPass() {
    DepGraph& g = Graph();
    Fit(g);
    PrunePool(g.pool);
    if (g.states.size() != G.Jobs.size()) g.states.assign(G.Jobs.size(), 0xFF);
    // Every job's prerequisites up to date, so the reverse edges are whole;
    // the jobs whose state or prerequisites changed.
    std::vector<int> changed;
    const bool sized = g.names.size() == G.Jobs.size() && !G.Jobs.empty();
    if (!sized || !SameData(g.names[0], G.Jobs[0].JobName) || !SeeChanges(g, changed)) {
        // A job renamed: the name index and every resolved name start again.
        g.names.resize(G.Jobs.size());
        for (size_t j = 0; j < G.Jobs.size(); ++j) g.names[j] = G.Jobs[j].JobName;
        if (sized) JobTableChanged();
        Fit(g);
        changed.clear();
        SeeChanges(g, changed);
    }
    g.passFresh = true;
    if (g.reverseStale) BuildReverse(g);
    if (g.resultsStale) {
        DropResults(g);
        return;
    }
    if (changed.empty()) return;
    ++g.clock;
    for (const int x : changed) {
        g.dirty[static_cast<size_t>(x)] = g.clock;  // its own closure may have changed
        MarkDependants(g, x);
    }
}

void JobStateChangedInPass(int JobIndex) {
    DepGraph& g = Graph();
    if (JobIndex < 1 || static_cast<size_t>(JobIndex) >= g.states.size() || g.reverseStale) {
        DropResults(g);
        return;
    }
    g.states[static_cast<size_t>(JobIndex)] = Job(JobIndex).JobState;
    ++g.clock;
    MarkDependants(g, JobIndex);
}

namespace {

// Job j's result in the pass, its text framed as the waiting job's status.
const DepGraph::Result& PassResult(int JobIndex) {
    DepGraph& g = Graph();
    Fit(g);
    if (g.resultsStale || g.reverseStale) {
        // Prerequisites changed since BeginDependencyPass.
        if (g.reverseStale) BuildReverse(g);
        DropResults(g);
    }
    const size_t j = static_cast<size_t>(JobIndex);
    if (!g.results[j].result.isEmpty() && g.dirty[j] <= g.results[j].at) return g.results[j];
    Walk(g, JobIndex, true);
    // The walk may have found the table changed and refitted the graph.
    DepGraph::Result& fresh = g.results[j];
    fresh.result = Evaluate(g, fresh.text, true);
    fresh.at = g.clock;
    return fresh;
}

}  // namespace

QString CheckDependencyInPass(int JobIndex, QString& Text) {
    if (JobIndex < 1 || JobIndex > JobCount()) return CheckDependency(JobIndex, Text, false);
    const DepGraph::Result& r = PassResult(JobIndex);
    Text = r.text.isEmpty() ? QString()
                            : r.text.mid(kWaitBefore.size(), r.text.size() - kWaitBefore.size() - kWaitAfter.size());
    return r.result;
}

QString WaitJobInPass(int JobIndex, QString& Line) {
    if (JobIndex < 1 || JobIndex > JobCount()) {
        Line.clear();
        return gDepMet;
    }
    const DepGraph::Result& r = PassResult(JobIndex);
    Line = r.text;
    return r.result;
}

void UpdateDependents(const QString& OldName, QString& NewName) {
    const QString oldKey = NameKey(OldName);
    const bool rename = !NewName.isEmpty();
    QString list;
    if (!oldKey.isEmpty()) {
        for (int i = 1; i <= JobCount(); ++i) {
            JobRec& J = Job(i);
            for (QString& entry : J.RunAfter) {
                if (NameKey(entry) != oldKey) continue;
                if (rename) entry = NewName;
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
    if (NameKey(OldName).isEmpty()) return;
    const QString oldFile = NameKey(QStringLiteral("..") + OldName.trimmed());
    QString list;
    for (int i = 1; i <= JobCount(); ++i) {
        JobRec& J = Job(i);
        if (NameKey(J.WaitForFile) != oldFile) continue;
        J.WaitForFile = QStringLiteral("..") + NewName;
        list += QStringLiteral(", ") + J.JobName.trimmed();
    }
    if (list.isEmpty()) return;
    MsgBox(QStringLiteral("The following job(s): ") + JobListText(list) +
           QStringLiteral("  are dependent on this job's standard trigger file and their references have been updated "
                          "accordingly."));
    MsgBox(QStringLiteral("Dependent jobs in other schedules must be updated manually"));
}
