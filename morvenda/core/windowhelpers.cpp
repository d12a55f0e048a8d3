#include "morvenda/core/windowhelpers.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/state.h"
#include "platform/drives.h"
#include "platform/shell.h"
#include "platform/start.h"

#include <QDir>
#include <QFileInfo>

QChar stdTextKeyPressDigits(QChar Key) {
    if (Key == kBackspace || (!Key.isNull() && gDigitChars.contains(Key))) return Key;
    return QChar(0);
}

QChar stdTextKeyPressAlphaNum(QChar Key, const QString& Extra) {
    if (Key.isNull()) return QChar(0);
    if (Key == kBackspace || gAlphaChars.contains(Key) || gDigitChars.contains(Key) || Extra.contains(Key))
        return Key.toUpper();
    return QChar(0);
}

QChar stdTextKeyPressCustom(QChar Key, const QString& Allowed) {
    if (Key.isNull()) return QChar(0);
    if (Key == kBackspace || Allowed.toUpper().contains(Key.toUpper())) return Key.toUpper();
    return QChar(0);
}

bool ValidFilePath(const QString& Path) {
    const qsizetype slash = Path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash == Path.size() - 1) return false;
    const QString name = Path.mid(slash + 1);
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) return false;
    const QString folder = slash == 0 ? QStringLiteral("/") : Path.left(slash);
    return QFileInfo(folder).isDir();
}

QStringList ListDrives() { return FixedDrives(); }

bool OnFixedDrive(const QString& Path) {
    if (!QDir::isAbsolutePath(Path)) return false;
    const QString drive = DriveOf(Path);
    return !drive.isEmpty() && G.gFixedDrives.contains(drive);
}

QString HelpPagePath(const QString& Topic) {
    // The pages live in a "help" folder under the help path (or under the
    // programs' help folder when no help path is configured).
    const QString folder = G.gHelpPath.isEmpty() ? HelpFolder() : G.gHelpPath;
    return JoinPath(JoinPath(folder, QStringLiteral("help")), Topic + QStringLiteral(".htm"));
}

void RunGenieAndEnd() {
    const QString genie = ExistingProgram(G.gGeniePath);
    ProcessInfo info;
    if (genie.isEmpty() || !StartProcess(QuoteArgument(genie), info)) {
        MsgBox(QStringLiteral("Error invoking  \"%1\"").arg(G.gGeniePath), MsgButtons::Ok, MsgIcon::Critical);
        throw FatalStop(QStringLiteral("Error invoking  \"%1\"").arg(G.gGeniePath));
    }
    throw FatalStop(QStringLiteral("Setup genie started"));
}
