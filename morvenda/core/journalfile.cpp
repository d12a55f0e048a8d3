#include "morvenda/core/journalfile.h"

#include "morvenda/core/state.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

RunJournalFile& TheRunJournal() {
    static RunJournalFile j;
    return j;
}

QString RunJournalPath() { return G.gSchedFile + QStringLiteral(".journal"); }

void EmptyRunJournal() {
    RunJournalFile& jf = TheRunJournal();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) {
        if (::ftruncate(jf.fd, 0) == 0) ::fdatasync(jf.fd);
        return;
    }
    const QByteArray p = QFile::encodeName(path);
    if (::access(p.constData(), F_OK) != 0) return;
    const int fd = ::open(p.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

void CloseRunJournal() {
    RunJournalFile& jf = TheRunJournal();
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = -1;
    jf.path.clear();
}
