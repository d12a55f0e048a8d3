#include "common/textfile.h"
#include "mrvemail/messagefile.h"
#include "tests/readers/fuzz/fuzz.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// End-of-job message files, read by the e-mailer in a folder that holds a
// few files to attach and embed ("@DIR@" in an input names it). Reading never changes
// a file, even one it is asked to delete; what it gives is a message the mail
// session can send: usable addresses, names and a subject without control
// characters or line breaks, attachments and deletions of files that exist,
// and a body within its limit (or cut to it, with nothing deleted).

namespace {

const QString kCut = QStringLiteral("Maximum message size exceeded.  Message truncated by MRVEmail");

// An address the mail session puts into an envelope and a header as it is.
bool Usable(const MailAddress& A) {
    const qsizetype at = A.address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at + 1 >= A.address.size()) return false;
    for (const QChar c : A.address)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || QStringLiteral("()<>[],;:\\\"").contains(c)) return false;
    for (const QChar c : A.name)
        if (c.unicode() < 0x20 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) return false;
    return true;
}

void MakeFiles(const QString& Folder) {
    PutFile(Folder + QStringLiteral("/report.txt"), "Run ended\r\nAll 12 files copied\r\n");
    PutFile(Folder + QStringLiteral("/empty.txt"), QByteArray());
    QDir().mkpath(Folder + QStringLiteral("/logs"));
    PutFile(Folder + QStringLiteral("/logs/a.log"), "first log\n");
    PutFile(Folder + QStringLiteral("/logs/b.log"), QByteArray(6000, 'x'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    InputFolder folder(QStringLiteral("message"));
    MakeFiles(folder.path);
    // "@DIR@" in the seeds stands for the folder.
    const QString path = folder.put(QStringLiteral("MSG00001.eml"),
                                    InputBytes(Data, Size).replace("@DIR@", QFile::encodeName(folder.path)));

    QStringList lines;
    Require(ReadTextLines(path, &lines), "the message just written cannot be read");
    auto oneLine = [](const QString& Subject) {
        Require(!Subject.contains(QLatin1Char('\r')) && !Subject.contains(QLatin1Char('\n')),
                "the subject holds a line break");
    };
    const EojMessage m = ParseEojMessage(lines, oneLine);
    folder.requireUnchanged("reading a message changed its folder");

    for (const QList<MailAddress>* list : {&m.to, &m.cc})
        for (const MailAddress& a : *list)
            Require(Usable(a), QStringLiteral("\"%1\" <%2> is taken for a usable address").arg(a.name, a.address));
    oneLine(m.subjectText());
    for (const EojAttachment& a : m.attachments)
        Require(QFileInfo(a.file).isFile() && a.line >= 1 && a.line <= lines.size(),
                QStringLiteral("the attachment \"%1\" of line %2 is no file of the message's lines")
                    .arg(a.file)
                    .arg(a.line));
    for (const QString& f : m.deleteList)
        Require(QFileInfo(f).isFile(), QStringLiteral("\"%1\" is to be deleted, but is no file").arg(f));
    Require(m.maxBody >= kMinMaxBody && m.maxBody <= qint64(1e12), "the body limit lies outside its range");
    if (m.body.size() > m.maxBody)
        Require(m.body.endsWith(kCut) && m.body.size() <= m.maxBody + 4 + kCut.size() && m.deleteList.isEmpty(),
                "a body over its limit is not cut to it, or files of it are still to be deleted");
    (void)m.noteText();
    return 0;
}
