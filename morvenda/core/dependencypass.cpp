#include "morvenda/core/dependencypass.h"

#include "common/constants.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/state.h"

#include <algorithm>

namespace {

void BuildReverse(DependencyCache& g) {
    const size_t n = G.Jobs.size();
    g.firstDependant.assign(n + 1, 0);
    for (size_t j = 1; j < n; ++j)
        for (const DepEdge& e : g.jobs[j].edges) ++g.firstDependant[static_cast<size_t>(e.job) + 1];
    for (size_t p = 0; p < n; ++p) g.firstDependant[p + 1] += g.firstDependant[p];
    g.dependants.assign(static_cast<size_t>(g.firstDependant[n]), 0);
    std::vector<int> fill(g.firstDependant.begin(), g.firstDependant.end() - 1);
    for (size_t j = 1; j < n; ++j)
        for (const DepEdge& e : g.jobs[j].edges)
            g.dependants[static_cast<size_t>(fill[static_cast<size_t>(e.job)]++)] = static_cast<int>(j);
    g.reverseStale = false;
}

// Marks every job that reaches job x through its dependencies (x itself
// only when it lies on a cycle) as changed at the current clock.
void MarkDependants(DependencyCache& g, int x) {
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

void DropResults(DependencyCache& g) {
    g.results.assign(G.Jobs.size(), DependencyCache::Result{});
    ++g.clock;
}

// One walk over the table: the jobs whose prerequisites or state changed go
// to `changed`. False, at the first job whose name is not the one the index
// holds (written into its record since): every resolved name may be wrong.
bool SeeChanges(DependencyCache& g, std::vector<int>& changed) {
    for (size_t j = 1; j < G.Jobs.size(); ++j) {
        const JobRec& J = G.Jobs[j];
        if (!g.Names.Holds(G.Jobs, j)) return false;
        JobDeps& d = g.jobs[j];
        bool change = false;
        if (!DependencyCache::Fresh(d, J)) {
            g.Build(d, J);
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

// Job j's result in the pass, its text framed as the waiting job's status.
const DependencyCache::Result& PassResult(int JobIndex) {
    DependencyCache& g = G.Deps;
    g.Fit(false);
    const size_t j = static_cast<size_t>(JobIndex);
    // Outside a fresh pass (the table or a job's prerequisites changed since
    // its start) nothing kept is trusted.
    if (g.passFresh && !g.results[j].result.isEmpty() && g.dirty[j] <= g.results[j].at) return g.results[j];
    g.Walk(JobIndex, true);
    DependencyCache::Result& fresh = g.results[j];
    fresh.result = g.Evaluate(fresh.text, true);
    fresh.at = g.clock;
    return fresh;
}

}  // namespace

void BeginDependencyPass() {
    DependencyCache& g = G.Deps;
    g.Fit(false);
    bool wasFresh = g.passFresh;
    g.PrunePool();
    // Every job's prerequisites up to date, so the reverse edges are whole;
    // the jobs whose state or prerequisites changed.
    std::vector<int> changed;
    if (!SeeChanges(g, changed)) {
        // A job renamed: the index and the prerequisites start again.
        g.Fit(true);
        wasFresh = false;
        changed.clear();
        SeeChanges(g, changed);
    }
    if (g.reverseStale) BuildReverse(g);
    g.passFresh = true;
    // Results worked out while the pass was not fresh read the records as
    // they were then.
    if (!wasFresh) {
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
    DependencyCache& g = G.Deps;
    // Not fresh: no result is kept until the next pass start.
    if (!g.passFresh) return;
    // The table's order or names changed since: nothing is kept either.
    if (JobIndex < 1 || static_cast<size_t>(JobIndex) >= g.states.size() || !g.Names.Current(G.Jobs) ||
        g.Names.Generation() != g.namesGeneration) {
        g.passFresh = false;
        return;
    }
    const std::uint8_t state = Job(JobIndex).JobState;
    if (g.states[static_cast<size_t>(JobIndex)] == state) return;
    g.states[static_cast<size_t>(JobIndex)] = state;
    ++g.clock;
    MarkDependants(g, JobIndex);
}

void SetJobState(int JobIndex, int State) {
    if (JobIndex < 0 || JobIndex > JobCount()) return;
    Job(JobIndex).JobState = static_cast<std::uint8_t>(State);
    if (JobIndex > 0) JobStateChangedInPass(JobIndex);
}

QString CheckDependencyInPass(int JobIndex, QString& Text) {
    if (JobIndex < 1 || JobIndex > JobCount()) return CheckDependency(JobIndex, Text, false);
    const DependencyCache::Result& r = PassResult(JobIndex);
    Text = r.text.isEmpty()
               ? QString()
               : r.text.mid(kDepWaitBefore.size(), r.text.size() - kDepWaitBefore.size() - kDepWaitAfter.size());
    return r.result;
}

QString WaitJobInPass(int JobIndex, QString& Line) {
    if (JobIndex < 1 || JobIndex > JobCount()) {
        Line.clear();
        return gDepMet;
    }
    const DependencyCache::Result& r = PassResult(JobIndex);
    Line = r.text;
    return r.result;
}
