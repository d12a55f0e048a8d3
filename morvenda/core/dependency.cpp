#include "morvenda/core/dependency.h"

#include "common/constants.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

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
    DependencyCache& deps = G.Deps;
    // Names written into the records since are caught here: a wrong result
    // costs more than one look at each job's name.
    deps.Fit(true);
    deps.Walk(JobIndex, false);

    if (FindMode) {
        const QStringView wanted = QStringView(Text).trimmed();
        for (const DepEdge& e : deps.closure) {
            if (QStringView(Job(e.job).JobName).trimmed() == wanted) return gDepFound;
        }
        return QString();
    }
    return deps.Evaluate(Text, false);
}
