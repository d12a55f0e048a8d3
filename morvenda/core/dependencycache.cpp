#include "morvenda/core/dependencycache.h"

#include "common/constants.h"
#include "common/text.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/state.h"

#include <algorithm>

namespace {

constexpr qsizetype kMaxPooledText = 512;
constexpr qsizetype kPoolPrune = 4096;

// The wait words, made once for the program: an entry's word is shared, not
// copied, into the wait text.
struct WaitWords {
    QString running = QStringLiteral("Running");
    QString notStarted = QStringLiteral("Not Started");
    QString failed = QStringLiteral("Failed");
    QString succeeded = QStringLiteral("Succeeded");
    QString submitFailed = QStringLiteral("Submit Failed");
};
const WaitWords kWords;

// The wait word of one entry whose prerequisite is in state `state`; null
// when the entry is met. Sets never when the entry can no longer be met and
// asks for unscheduling.
const QString* WaitWord(std::uint8_t state, const DepEdge& e, bool& never) {
    if (state == jsRunning) return &kWords.running;
    if (state == jsScheduled) return &kWords.notStarted;
    if (state == jsAborted && e.letter == QLatin1Char('S')) {
        never = never || e.unsched;
        return &kWords.failed;
    }
    if ((state == jsCompleted || state == jsUnscheduled) && e.letter == QLatin1Char('F')) {
        never = never || e.unsched;
        return &kWords.succeeded;
    }
    // A prerequisite whose submission failed never ran: it is pending for
    // every letter until the operator reschedules or forces it.
    if (state == jsSubmitFailed) return &kWords.submitFailed;
    return nullptr;
}

}  // namespace

void DependencyCache::Fit(bool CheckNames) {
    if (CheckNames || !Names.Current(G.Jobs)) Names.Sync(G.Jobs);
    const size_t n = G.Jobs.size();
    if (fitted && namesGeneration == Names.Generation() && jobs.size() == n) return;
    // The names are resolved again from the names as they are now.
    if (!CheckNames) Names.Sync(G.Jobs);
    fitted = true;
    namesGeneration = Names.Generation();
    passFresh = false;
    jobs.assign(n, JobDeps{});
    seen.assign(n, 0);
    expanded.assign(n, 0);
    stamp = 0;
    results.assign(n, Result{});
    dirty.assign(n, 0);
    marked.assign(n, 0);
    markStamp = 0;
    states.assign(n, 0xFF);
    reverseStale = true;
    ++clock;
}

bool DependencyCache::Fresh(const JobDeps& D, const JobRec& J) {
    return D.built && SameData(D.nameRef, J.JobName) && SameData(D.listRef, J.RunAfter) &&
           SameData(D.lettersRef, J.RunAfterStatus) && SameData(D.flagsRef, J.RunAfterUnsched);
}

void DependencyCache::Build(JobDeps& D, const JobRec& J) {
    passFresh = false;
    reverseStale = true;
    D.nameRef = J.JobName;
    D.listRef = J.RunAfter;
    D.lettersRef = J.RunAfterStatus;
    D.flagsRef = J.RunAfterUnsched;
    D.name = J.JobName.trimmed();
    D.edges.clear();
    D.hasEmpty = false;
    for (qsizetype k = 0; k < J.RunAfter.size(); ++k) {
        const QString& entry = J.RunAfter.at(k);
        if (QStringView(entry).trimmed().isEmpty()) {
            D.hasEmpty = true;
            continue;
        }
        // Fit has just made the index current.
        const int p = Names.Find(G.Jobs, entry, true);
        if (p <= 0) continue;
        const QChar letter = k < J.RunAfterStatus.size() ? J.RunAfterStatus.at(k).toUpper() : QChar();
        const bool unsched = k < J.RunAfterUnsched.size() && J.RunAfterUnsched.at(k).toUpper() == QLatin1Char('Y');
        D.edges.push_back(DepEdge{p, letter, unsched});
    }
    D.built = true;
}

bool DependencyCache::Current(int JobIndex) {
    JobDeps& d = jobs[static_cast<size_t>(JobIndex)];
    const JobRec& J = Job(JobIndex);
    if (Fresh(d, J)) return true;
    if (d.built && !SameData(d.nameRef, J.JobName)) return false;
    Build(d, J);
    return true;
}

void DependencyCache::Walk(int JobIndex, bool InPass) {
    if (WalkOnce(JobIndex, InPass)) return;
    // A job was renamed by a write into its record: every resolved name may
    // be wrong, so the index and the prerequisites start again.
    Fit(true);
    WalkOnce(JobIndex, InPass);
}

// Each job is expanded once; linear in the entries visited.
bool DependencyCache::WalkOnce(int JobIndex, bool InPass) {
    const bool trusted = InPass && passFresh;
    if (++stamp == 0) {
        std::fill(seen.begin(), seen.end(), 0);
        std::fill(expanded.begin(), expanded.end(), 0);
        stamp = 1;
    }
    closure.clear();
    if (!trusted && !Current(JobIndex)) return false;
    const JobDeps& own = jobs[static_cast<size_t>(JobIndex)];
    // The editor and the save keep empty entries out; one found here (a
    // hand-edited file) is skipped, and reported once, rather than stopping
    // the program in the middle of a run.
    if (own.hasEmpty) ReportEmptyDependency(own.name);
    for (const DepEdge& e : own.edges) {
        closure.push_back(e);
        seen[static_cast<size_t>(e.job)] = stamp;
    }
    // A job named twice by the own list is expanded once: the second time
    // would add nothing.
    for (size_t i = 0; i < closure.size(); ++i) {
        const int p = closure[i].job;
        std::uint32_t& x = expanded[static_cast<size_t>(p)];
        if (x == stamp) continue;
        x = stamp;
        if (!trusted && !Current(p)) return false;
        const JobDeps& d = jobs[static_cast<size_t>(p)];
        if (d.hasEmpty) ReportEmptyDependency(d.name);
        for (const DepEdge& e : d.edges) {
            std::uint32_t& s = seen[static_cast<size_t>(e.job)];
            if (s == stamp) continue;
            s = stamp;
            closure.push_back(e);
        }
    }
    return true;
}

QString DependencyCache::Evaluate(QString& Text, bool InPass) {
    const bool passStates = InPass && passFresh;
    // The pending entries and the length of their text first, then the text
    // written at once into storage of that size: a long wait text is not
    // grown piece by piece.
    bool never = false;
    words.clear();
    qsizetype length = 0;
    for (const DepEdge& e : closure) {
        const std::uint8_t state = passStates ? states[static_cast<size_t>(e.job)] : Job(e.job).JobState;
        const QString* word = WaitWord(state, e, never);
        words.push_back(word);
        if (!word) continue;
        // ", " NAME "(" LETTER ") - " WORD
        length += 2 + jobs[static_cast<size_t>(e.job)].name.size() + 1 + (e.letter.isNull() ? 0 : 1) + 4 + word->size();
    }
    QString& text = scratch;
    if (length == 0) {
        text.resize(0);
        Text = QString();
        return gDepMet;
    }
    length -= 2;  // no separator before the first entry
    if (InPass) length += kDepWaitBefore.size() + kDepWaitAfter.size();
    text.resize(length);  // keeps the storage between evaluations
    QChar* out = text.data();
    const auto put = [&out](const QString& s) {
        std::copy(s.cbegin(), s.cend(), out);
        out += s.size();
    };
    const auto putLatin1 = [&out](QLatin1String s) {
        for (const char c : s) *out++ = QLatin1Char(c);
    };
    if (InPass) putLatin1(kDepWaitBefore);
    bool first = true;
    for (size_t i = 0; i < closure.size(); ++i) {
        const QString* word = words[i];
        if (!word) continue;
        const DepEdge& e = closure[i];
        if (!first) putLatin1(QLatin1String(", "));
        first = false;
        put(jobs[static_cast<size_t>(e.job)].name);
        *out++ = QLatin1Char('(');
        if (!e.letter.isNull()) *out++ = e.letter;
        putLatin1(QLatin1String(") - "));
        put(*word);
    }
    if (InPass) putLatin1(kDepWaitAfter);
    Text = Pooled();
    return never ? gDepNever : gDepWait;
}

// The text in scratch as a string of its own, shared with an equal one made
// before when there is one.
QString DependencyCache::Pooled() {
    if (scratch.isEmpty()) return QString();
    if (scratch.size() > kMaxPooledText) return QString(scratch.constData(), scratch.size());
    auto it = pool.constFind(scratch);
    if (it != pool.cend()) return *it;
    return *pool.insert(QString(scratch.constData(), scratch.size()));
}

void DependencyCache::PrunePool() {
    if (pool.size() < kPoolPrune) return;
    for (auto it = pool.begin(); it != pool.end();) {
        if (it->isDetached())
            it = pool.erase(it);
        else
            ++it;
    }
    if (pool.size() >= kPoolPrune) pool.clear();
}
