#include "common/cmdline.h"

#include <cstdio>

#include <unistd.h>

QString ProgramCommandLine(const QStringList& Args) {
    // The launcher tags the variable with the pid of the process it started;
    // a child of ours inherits the variable but not the pid, so it falls back
    // to its own arguments.
    if (qEnvironmentVariableIsSet("MRV_CMDLINE")) {
        bool ok = false;
        const qint64 pid = qEnvironmentVariable("MRV_CMDLINE_PID").trimmed().toLongLong(&ok);
        if (ok && pid == static_cast<qint64>(::getpid())) return qEnvironmentVariable("MRV_CMDLINE");
    }
    return Args.join(QLatin1Char(' '));
}

QStringList ProgramArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

void UseOffscreenWithoutDisplay() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

bool AnswerHelpOrVersion(const QStringList& Args, const QString& Program, const QString& Usage) {
    if (Args.size() != 1) return false;
    QString text;
    if (Args.first() == QLatin1String("--help"))
        text = Usage + QStringLiteral("\n  --help     show this text and end\n  --version  show the version and end\n");
    else if (Args.first() == QLatin1String("--version"))
        text = QStringLiteral("%1 %2.%3\n").arg(Program).arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR);
    else
        return false;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return true;
}
