#include "common/fatal.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/readers/fuzz/fuzz.h"

#include <QFile>

// The schedule file. A load may refuse the file (a fatal stop) but never
// changes it. A table it accepts holds only times the file can hold and every
// job's line reads back; saved, it loads again and is saved with the same
// bytes, and that table, saved and loaded once more, is the same in every
// field (not only those saved).

namespace {

// Saves G.Jobs and returns the bytes written.
QByteArray SaveAndRead() {
    try {
        Require(SaveSchedule(), "the table could not be saved");
    } catch (const FatalStop& stop) {
        Require(false, QStringLiteral("saving the table stopped the program: ") + stop.reason());
    }
    QFile f(G.gSchedFile);
    Require(f.open(QIODevice::ReadOnly), "the saved schedule file cannot be read");
    return f.readAll();
}

// Loads G.gSchedFile, which must not be refused.
void Load(const QString& Refused) {
    try {
        LoadSchedule();
    } catch (const FatalStop& stop) {
        Require(false, Refused + stop.reason());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    InputFolder folder(QStringLiteral("schedule"));
    FreshScheduler();
    G.gSchedFile = folder.put(QStringLiteral("fuzz.sch"), InputBytes(Data, Size));
    try {
        LoadSchedule();
    } catch (const FatalStop&) {
        folder.requireUnchanged("a refused schedule file was changed");
        return 0;
    }
    folder.requireUnchanged("loading a schedule file changed its folder");

    // A save drops the blanks around a text, which a load keeps: the table
    // loaded after the first save may differ in them; from then on nothing
    // changes.
    const JobTable loaded = G.Jobs;
    for (size_t k = 1; k < loaded.size(); ++k) RequireSavable(loaded[k]);
    const QByteArray saved = SaveAndRead();
    Load(QStringLiteral("the saved table is refused: "));
    Require(G.Jobs.size() == loaded.size(), "the saved table reads back with another number of jobs");
    Require(SaveAndRead() == saved, "the table read back is saved with other bytes");
    const JobTable first = G.Jobs;
    Load(QStringLiteral("the table saved again is refused: "));
    for (size_t k = 1; k < first.size(); ++k)
        Require(G.Jobs[k] == first[k], QStringLiteral("job %1 reads back otherwise after a second save:\n  %2\n  %3")
                                           .arg(first[k].JobName, ScheduleLine(first[k]), ScheduleLine(G.Jobs[k])));
    return 0;
}
