// The chaperone's window loading and checking a keystroke script of 10,000
// and 1,000,000 rows ([validate] as its first row, so nothing runs), on Qt's
// offscreen platform: from OK to the list drawn with the script's rows. The
// goal: a million rows within 5 s.

#include "bench/benchjobs.h"
#include "mrvchap/windows/frmMRVChap.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A script that uses the language throughout: keys, comments, delays,
// labels and the jumps to them.
QString WriteScript(const QTemporaryDir& dir, int rows) {
    const QString path = dir.filePath(QStringLiteral("bench%1.key").arg(rows));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    QByteArray text = "[validate]\r\n[timeout 30]\r\n[waitforwindowtitle \"Pay Run\"]\r\n[rem]\r\n[rem]\r\n";
    for (int i = 5; i < rows; ++i) {
        switch (i % 5) {
            case 0:
                text += "[label L" + QByteArray::number(i) + "]\r\n";
                break;
            case 1:
                text += "Employee {parm1} row " + QByteArray::number(i) + "{TAB}+(abc)~\r\n";
                break;
            case 2:
                text += "[rem entering the next record]\r\n";
                break;
            case 3:
                text += "[delay 0.5]\r\n";
                break;
            default:
                text += "[notfound L" + QByteArray::number(i - 4) + "]\r\n";
        }
    }
    f.write(text);
    return path;
}

void BM_LoadAndValidateScript(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString script = WriteScript(dir, rows);
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<frmMRVChap>();
        w->Form_Load(script, dir.path());
        w->show();
        QApplication::processEvents();
        state.ResumeTiming();
        w->cmdOK_Click();
        QApplication::processEvents();  // the list drawn with the script's rows
        state.PauseTiming();
        if (w->isFinished()) state.SkipWithError("the script did not load whole");
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

BENCHMARK(BM_LoadAndValidateScript)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's place goes to a settings file of the benchmark's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
