#include "platform/shell.h"

#include <QProcess>
#include <QStandardPaths>

bool ShellOpen(const QString& Target, QString* Error) {
    auto fail = [Error](const QString& why) {
        if (Error) *Error = why;
        return false;
    };
    if (Target.isEmpty()) return fail(QStringLiteral("Nothing to open"));

    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return fail(QStringLiteral("Cannot open \"%1\": xdg-open not found").arg(Target));

    // A leading "-" would turn a file name into an option of xdg-open.
    const QString argument = Target.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + Target : Target;

    QProcess process;
    process.setProgram(opener);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return fail(QStringLiteral("Cannot open \"%1\": %2").arg(Target, process.errorString()));
    return true;
}
