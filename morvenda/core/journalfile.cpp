#include "morvenda/core/journalfile.h"

#include "common/atomicfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "platform/durablefile.h"

#include <QFile>

#include <utility>

namespace {

QString WriteError(const QString& path, const QString& why) {
    return QStringLiteral("Cannot write the run journal \"%1\": %2").arg(path, why);
}

// The tests' write seam: a fault it injects fails the step as the system
// would, with the system's text for it.
bool PassesSeam(IoStep step, const QByteArray& name, QString* why) {
    const int e = IoFault(step, name.constData());
    if (e != 0) *why = qt_error_string(e);
    return e == 0;
}

bool OpenJournal(QString* error) {
    RunJournalFile& jf = TheRunJournal();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) return true;
    DurableClose(&jf.fd);
    QString why;
    jf.fd = OpenDurable(path, &why);
    if (jf.fd < 0) {
        jf.path.clear();
        if (error) *error = WriteError(path, why);
        return false;
    }
    jf.path = path;
    if (jf.cutBackTo >= 0) {
        if (!DurableCutBack(jf.fd, jf.cutBackTo, &why)) {
            if (error) *error = WriteError(path, why);
            DurableClose(&jf.fd);
            jf.path.clear();
            return false;
        }
        jf.cutBackTo = -1;
    }
    return true;
}

}  // namespace

RunJournalFile& TheRunJournal() {
    // G owns the journal: a fresh program state closes the file and drops
    // the records that wait in memory.
    if (!G.Journal)
        G.Journal = std::shared_ptr<RunJournalFile>(new RunJournalFile, [](RunJournalFile* j) {
            DurableClose(&j->fd);
            delete j;
        });
    return *G.Journal;
}

QString RunJournalPath() { return G.gSchedFile + QStringLiteral(".journal"); }

bool WriteRunJournalPending(bool sync, QString* error) {
    FlushRunLog();
    RunJournalFile& jf = TheRunJournal();
    if (jf.pending.isEmpty()) return true;
    if (!OpenJournal(error)) return false;
    // Where the last whole record ends: a write or a flush that fails is cut
    // back to it, so no half record is left for the next one to join, and no
    // record that may not be on the disk can be replayed.
    const qint64 whole = DurableLength(jf.fd, nullptr);
    const char* p = jf.pending.constData();
    const size_t size = static_cast<size_t>(jf.pending.size());
    const QByteArray name = QFile::encodeName(jf.path);
    QString why;
    bool ok = PassesSeam(IoStep::Write, name, &why);
    // As a disk that fills up takes it: half, then the error.
    if (!ok && size > 1) DurableAppend(jf.fd, p, size / 2, &why);
    ok = ok && DurableAppend(jf.fd, p, size, &why);
    if (ok && sync) ok = PassesSeam(IoStep::Flush, name, &why) && DurableSync(jf.fd, &why);
    if (ok) {
        jf.pending.clear();
        return true;
    }
    // The records stay in memory; the caller drops those that must not take
    // effect now. A journal that cannot even be cut back is closed, and
    // opened again (and cut back) by the next record.
    if (whole < 0 || !DurableCutBack(jf.fd, whole, nullptr)) {
        DurableClose(&jf.fd);
        jf.path.clear();
        jf.cutBackTo = whole;
    }
    if (error) *error = WriteError(RunJournalPath(), why);
    return false;
}

void EmptyRunJournal() {
    // The schedule file holds what the waiting records say; the run log lines
    // they follow must not wait any longer.
    FlushRunLog();
    RunJournalFile& jf = TheRunJournal();
    jf.pending.clear();
    jf.group = false;
    jf.groupKinds.clear();
    jf.cutBackTo = -1;
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) {
        if (DurableCutBack(jf.fd, 0, nullptr)) DurableSync(jf.fd, nullptr);
    } else {
        // A journal that is not there stays so: none is made to be emptied.
        int fd = OpenDurable(path, nullptr, WhenMissing::Fail);
        if (fd >= 0 && DurableCutBack(fd, 0, nullptr)) DurableSync(fd, nullptr);
        DurableClose(&fd);
    }
    if (jf.carried.isEmpty()) return;
    // Should they not reach the disk, they are still in memory: the next
    // record writes them first.
    jf.pending = jf.carried;
    WriteRunJournalPending(true, nullptr);
}

void CloseRunJournal() {
    RunJournalFile& jf = TheRunJournal();
    if (!jf.group) WriteRunJournalPending(false, nullptr);
    DurableClose(&jf.fd);
    jf.path.clear();
}
