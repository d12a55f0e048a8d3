#include "common/programfolder.h"

#include "common/textfile.h"

#include <QDir>
#include <QFileInfo>

#ifndef MRV_DATA_FROM_BIN
#define MRV_DATA_FROM_BIN "../share/morvenda"
#endif

QString ProgramFolder() { return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path(); }

QString HelpFolderOf(const QString& Folder) {
    if (Folder.isEmpty()) return Folder;
    // An installed program's pages are in the data folder; a program of the
    // build tree has its pages beside it. The "help" folder marks the data
    // folder, so a stray share/morvenda without pages does not capture help.
    const QString data = QDir::cleanPath(Folder + QLatin1Char('/') + QStringLiteral(MRV_DATA_FROM_BIN));
    if (QFileInfo(data + QStringLiteral("/help")).isDir()) return data;
    return Folder;
}

QString HelpFolder() { return HelpFolderOf(ProgramFolder()); }

QString ExistingProgram(const QString& path) {
    if (path.isEmpty()) return QString();
    if (PathExists(path)) return path;
    if (path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) && PathExists(path.chopped(4)))
        return path.chopped(4);
    return QString();
}
