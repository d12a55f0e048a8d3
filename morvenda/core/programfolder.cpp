#include "morvenda/core/programfolder.h"

#include "common/textfile.h"

#include <QCoreApplication>

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

QString ExistingProgram(const QString& path) {
    if (path.isEmpty()) return QString();
    if (PathExists(path)) return path;
    if (path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) && PathExists(path.chopped(4)))
        return path.chopped(4);
    return QString();
}
