#include "mrvgenie/genie.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include "common/constants.h"
#include "common/datetime.h"
#include "common/programfolder.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "platform/start.h"

QChar FilterNameKey(QChar C) {
    if (C == QChar(8) || gSchedNameChars.contains(C.toUpper())) return C;
    return QChar();
}

int ProbeDateOrder(const QString& ShortDateFormat) {
    // Text in quotes is literal, never a day, month or year code.
    QString codes;
    bool quoted = false;
    for (const QChar c : ShortDateFormat) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted)
            codes.append(c);
    }
    const qsizetype d = codes.indexOf(QLatin1Char('d'));
    const qsizetype m = codes.indexOf(QLatin1Char('M'));
    const qsizetype y = codes.indexOf(QLatin1Char('y'));
    if (d < 0 || m < 0 || (y >= 0 && y < d && y < m)) return -1;
    return d < m ? 0 : 1;
}

int ProbeSystemDateOrder() { return ProbeDateOrder(QLocale::system().dateFormat(QLocale::ShortFormat)); }

QString OrderExampleFormat(int Order) { return DisplayDateMask(Order, false); }

QString OrderEmailFormat(int Order) { return DisplayDateMask(Order, true); }

QString OrderExample(int Order) {
    const QString fmt = OrderExampleFormat(Order);
    if (fmt.isEmpty()) return QString();
    return QStringLiteral("Example: ") + FormatDate(DateVal::fromDate(2002, 4, 1), fmt);
}

QString WorkDaysText(const QList<int>& SelectedDays) {
    QStringList names;
    for (int day = 0; day < 7; ++day)
        if (SelectedDays.contains(day)) names.append(DayName(day + 1, true));
    return names.join(QLatin1Char(','));
}

bool ProgramFolderIsUsers(const QString& ProgramFolder) {
    const QFileInfo folder(ProgramFolder);
    if (ProgramFolder.isEmpty() || !folder.isDir() || !folder.isWritable()) return false;
    // Root may write anywhere, so being writable says nothing about who owns
    // the folder. An installation (its help pages in share/morvenda beside
    // bin/) and the system's program folders belong to the package manager,
    // which would leave a log there behind on removal.
    if (HelpFolderOf(ProgramFolder) != ProgramFolder) return false;
    const QString real = folder.canonicalFilePath();
    for (const char* system : {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/opt", "/snap"}) {
        const QString top = QString::fromLatin1(system);
        if (real == top || real.startsWith(top + QLatin1Char('/'))) return false;
    }
    return true;
}

QString GenieLogPath(const QString& ProgramFolder, const QString& Stamp) {
    const QString name = QStringLiteral("MRVG") + Stamp + QStringLiteral(".log");
    if (ProgramFolderIsUsers(ProgramFolder)) return JoinPath(ProgramFolder, name);
    // Otherwise the log goes with the user's other state.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
    const QString dir = JoinPath(state, gAppName);
    QDir().mkpath(dir);
    return JoinPath(dir, name);
}

QString RunCallBack(QString* Error) {
    const QString program = GetSetting(gAppName, gRegSection, gCallBackKey);
    if (program.isEmpty()) return QString();
    DeleteSetting(gAppName, gRegSection, gCallBackKey);
    if (!QFileInfo(program).isFile()) return QString();
    ProcessStamp started;
    if (!LaunchProcess(QuoteArgument(program), &started, Error)) return QString();
    return program;
}
