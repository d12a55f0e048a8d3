// The schedule grid on 1,000 and 10,000 jobs, on Qt's offscreen platform:
// opening the window (built, shown and drawn once), rebuilding it after a
// group or a view-profile choice, and the heap the open grid holds. The
// goal: opening and each rebuild within 100 ms at 10,000 jobs, the grid
// within 20 MB.

#include "bench/benchjobs.h"
#include "common/constants.h"
#include "common/settings.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmLGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>

namespace {

double HeapMB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

void LoadJobs(int n) {
    ResetState();
    G.gGroupFilter = gAllGroups;
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gRunDayStart = G.gRunDate;
    G.Jobs = BenchJobs(n);
}

std::unique_ptr<frmLGrid> Open() {
    auto w = std::make_unique<frmLGrid>();
    w->show();
    QApplication::processEvents();  // the first drawing
    return w;
}

void BM_OpenGrid(benchmark::State& state) {
    LoadJobs(static_cast<int>(state.range(0)));
    Open().reset();  // settings and fonts made once, before measuring
    double grid = 0;
    for (auto _ : state) {
        const double before = HeapMB();
        auto w = Open();
        state.PauseTiming();
        grid = HeapMB() - before;
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["grid_MB"] = grid;
}

void BM_GroupChange(benchmark::State& state) {
    LoadJobs(static_cast<int>(state.range(0)));
    auto w = Open();
    auto* group = w->findChild<QComboBox*>(QStringLiteral("cboGroup"));
    bool all = false;
    for (auto _ : state) {
        group->setCurrentText(all ? gAllGroups : QStringLiteral("GRP1"));
        QApplication::processEvents();
        all = !all;
    }
}

void BM_ProfileChange(benchmark::State& state) {
    LoadJobs(static_cast<int>(state.range(0)));
    // A second profile that shows every column.
    DefineGridColumns();
    for (GridColumn& c : gGridCols) c.Hidden = false;
    G.gCurProfile = QStringLiteral("Wide");
    SaveColProfile();
    AddColProfileName(gProfPrefix + QStringLiteral("Wide"));
    SaveSetting(gAppName, gProfSection, QStringLiteral("Current"), gProfPrefix + QStringLiteral("General"));
    auto w = Open();
    auto* profile = w->findChild<QComboBox*>(QStringLiteral("cboProfile"));
    bool wide = true;
    for (auto _ : state) {
        profile->setCurrentText(wide ? QStringLiteral("Wide") : QStringLiteral("General"));
        QApplication::processEvents();
        wide = !wide;
    }
}

BENCHMARK(BM_OpenGrid)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The view profiles go to a settings file of the benchmark's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
