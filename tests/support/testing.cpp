#include "tests/support/testing.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

FakeClock::FakeClock(DateVal at) {
    set(at);
    setClock(this);
}
FakeClock::~FakeClock() { setClock(nullptr); }

ScriptedPrompter::ScriptedPrompter() { setPrompter(this); }
ScriptedPrompter::~ScriptedPrompter() { setPrompter(nullptr); }

MsgAnswer ScriptedPrompter::message(const QString& text, MsgButtons buttons, MsgIcon, const QString&) {
    messages << text;
    if (!answers_.empty()) {
        MsgAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    switch (buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return MsgAnswer::Yes;
        case MsgButtons::RetryCancel:
            return MsgAnswer::Retry;
    }
    return MsgAnswer::Ok;
}

QString ScriptedPrompter::input(const QString& prompt, const QString&, const QString&) {
    prompts << prompt;
    if (!inputs_.empty()) {
        QString s = inputs_.front();
        inputs_.pop_front();
        return s;
    }
    return QString();
}

TempDir::TempDir() { dir_.setAutoRemove(true); }

QString TempDir::path(const QString& name) const {
    return name.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + name;
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = path(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
    return p;
}

QByteArray TempDir::read(const QString& nameOrPath) const {
    QFile f(QFileInfo(nameOrPath).isAbsolute() ? nameOrPath : path(nameOrPath));
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        qputenv(name_.constData(), *old_);
    else
        qunsetenv(name_.constData());
}

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

void PrintTo(const DateVal& d, std::ostream* os) {
    *os << FormatDate(d, QStringLiteral("dd mmm yyyy hh:nn:ss")).toStdString() << " (" << d.seconds() << ")";
}

void InstallDemo(const TempDir& Dir) {
    const QString source = qEnvironmentVariable("MRV_TEST_SOURCE_DIR") + QStringLiteral("/examples/demo");
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QByteArray bytes = Dir.read(file);
        bytes.replace("@BASE@", Dir.path().toUtf8());
        Dir.write(file.mid(source.size() + 1), bytes);
    }
    for (const char* folder : {"@Trigger", "@Email/Messages", "@Email/Attachments", "DEMO/Log", "DEMO/JobDoc",
                               "DEMO/Tracker", "DEMO/Output"})
        QDir().mkpath(Dir.path(QString::fromLatin1(folder)));
}
