#include "tests/readers/fuzz/fuzz.h"

#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>
#include <cstdlib>

QString gFuzzInput;

namespace {

// Qt's warnings about the inputs (a file name with a NUL in it) would bury
// libFuzzer's own report; only critical messages are shown.
void Quiet(QtMsgType Type, const QMessageLogContext&, const QString& Text) {
    if (Type == QtCriticalMsg || Type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(Text));
}

// Made at the first use and kept for the whole run: libFuzzer calls a
// target hundreds of thousands of times.
struct World {
    QtMessageHandler previous = qInstallMessageHandler(Quiet);
    TempDir temp;
    FakeClock clock;
    ScriptedPrompter prompter;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(temp.path(QStringLiteral("config")))};
};

World& TheWorld() {
    static World w;
    return w;
}

}  // namespace

void Require(bool Holds, const QString& What) {
    if (Holds) return;
    // Control characters of the input are shown as codes, so the message
    // shows them and is shown whole.
    QString shown;
    for (const QChar c : What) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    std::fprintf(stderr, "\nFuzz check failed%s%s: %s\n", gFuzzInput.isEmpty() ? "" : " on ", qPrintable(gFuzzInput),
                 shown.toUtf8().constData());
    // abort() skips the destructors: the temporary folder goes now.
    QDir(TheWorld().temp.path()).removeRecursively();
    std::abort();
}

QString FreshFolder(const QString& Name) {
    QDir dir(TheWorld().temp.path(Name));
    dir.removeRecursively();
    Require(QDir().mkpath(dir.path()), QStringLiteral("cannot make the folder ") + dir.path());
    return dir.path();
}

void PutFile(const QString& Path, const QByteArray& Bytes) {
    QFile f(Path);
    Require(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(Bytes) == Bytes.size(),
            QStringLiteral("cannot write ") + Path);
}

namespace {

// What a folder holds: every file's path with a hash of its bytes, sorted,
// so that a change to any file, or a file made or removed, shows.
QStringList FolderState(const QString& Folder) {
    QStringList out;
    QDirIterator it(Folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
        out << path + QLatin1Char(' ') +
                   QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    }
    out.sort();
    return out;
}

}  // namespace

InputFolder::InputFolder(const QString& Name) : path(FreshFolder(Name)) {}

QString InputFolder::put(const QString& File, const QByteArray& Bytes) {
    const QString file = QDir::isAbsolutePath(File) ? File : path + QLatin1Char('/') + File;
    PutFile(file, Bytes);
    before_ = FolderState(path);
    return file;
}

void InputFolder::requireUnchanged(const char* What) const { Require(FolderState(path) == before_, What); }

void FreshScheduler() {
    World& w = TheWorld();
    ResetState();
    w.clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    w.prompter.messages.clear();
    w.prompter.prompts.clear();
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gRunDayStart = G.gRunDate;
}

bool StorableDate(const DateVal& D) {
    static const DateVal first = DateVal::fromDate(1, 1, 1);
    static const DateVal end = DateVal::fromDate(10000, 1, 1);
    return D.isZero() || (D >= first && D < end);
}

void RequireSavable(const JobRec& J) {
    Require(StorableDate(J.Started) && StorableDate(J.Completed),
            QStringLiteral("job %1 holds a time outside the years 1 to 9999").arg(J.JobName));
    const QString line = ScheduleLine(J);
    JobRec back;
    QString error;
    Require(ParseScheduleLine(line, QLatin1Char('\t'), &back, &error),
            QStringLiteral("job %1 is saved as a line the schedule file refuses (%2): %3").arg(J.JobName, error, line));
    Require(
        ScheduleLine(back) == line,
        QStringLiteral("job %1 is saved as\n  %2\nwhich reads back as\n  %3").arg(J.JobName, line, ScheduleLine(back)));
}
