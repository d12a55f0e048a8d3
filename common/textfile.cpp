#include "common/textfile.h"

#include "common/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    // One stray byte spoils only its own line: every other line keeps its
    // UTF-8 characters (an old line in Latin-1 beside new ones in UTF-8).
    text.clear();
    text.reserve(bytes.size());
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArray line = bytes.mid(start, end - start);
        QStringDecoder lineDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = lineDecoder.decode(line);
        text += lineDecoder.hasError() ? QString::fromLatin1(line) : decoded;
        start = end;
    }
    return text;
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ++i;
            start = i + 1;
        }
    }
    if (start < n) lines << text.mid(start);
    return lines;
}

bool ReadFileBytes(const QString& path, QByteArray* bytes, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("Cannot open \"%1\": %2").arg(path, f.errorString());
        return false;
    }
    *bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = QStringLiteral("Cannot read \"%1\": %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool ReadTextFile(const QString& path, QString* text, QString* error) {
    QByteArray bytes;
    if (!ReadFileBytes(path, &bytes, error)) return false;
    *text = DecodeText(bytes);
    return true;
}

bool ReadTextLines(const QString& path, QStringList* lines, QString* error) {
    QString text;
    if (!ReadTextFile(path, &text, error)) return false;
    *lines = SplitLines(text);
    return true;
}

QByteArray EncodeLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines) {
        out += l.toUtf8();
        out += "\r\n";
    }
    return out;
}

namespace {

// The message of a failed replacement: the file, and the system's reason.
QString ReplaceFailure(const QString& path, ReplaceStep step, int e) {
    const QString why = qt_error_string(e);
    switch (step) {
        case ReplaceStep::Create: {
            const QString folder = FolderOf(path);
            return QStringLiteral("Cannot write \"%1\": cannot create a file in the folder \"%2\": %3")
                .arg(path, folder.isEmpty() ? QStringLiteral(".") : folder, why);
        }
        case ReplaceStep::Sync:
            return QStringLiteral(
                       "Cannot write \"%1\": the new file is in place but its folder could not be "
                       "flushed to the disk: %2")
                .arg(path, why);
        default:
            return QStringLiteral("Cannot write \"%1\": %2").arg(path, why);
    }
}

bool Replace(const QString& path, const QByteArray& bytes, const ReplaceOptions& options, QString* error) {
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("Cannot write a file without a name");
        return false;
    }
    ReplaceStep step = ReplaceStep::None;
    const int e = ReplaceWholeFile(QFile::encodeName(path).constData(), bytes.constData(),
                                   static_cast<std::size_t>(bytes.size()), options, &step);
    if (e == 0) return true;
    if (error) *error = ReplaceFailure(path, step, e);
    return false;
}

}  // namespace

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error) {
    // A file that is a symbolic link is replaced where the link leads, and
    // the link stays.
    return Replace(FollowLinks(path), bytes, ReplaceOptions{}, error);
}

QString FolderOf(const QString& path) {
    const qsizetype p = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (p < 0) return QString();
    return p == 0 ? path.left(1) : path.left(p);
}

QString FileNameOf(const QString& path) {
    const qsizetype p = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(p + 1);
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return name;
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool PathExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

namespace {

QString TempPrefix(const QString& name) { return QLatin1Char('.') + name + QLatin1Char('.'); }

const QLatin1String kTempSuffix(".tmp");

}  // namespace

bool ReplaceFile(const QString& path, const QByteArray& bytes, QString* error, int mode, bool flush) {
    return Replace(path, bytes, ReplaceOptions{mode, flush}, error);
}

QString FollowLinks(const QString& path) {
    QString p = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(p);
        if (!info.isSymLink()) break;
        p = info.symLinkTarget();  // absolute, relative targets resolved from the link's folder
    }
    return p;
}

int RemoveLeftoverTemps(const QString& folder, const QString& forName, int minAgeSecs) {
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (folder.isEmpty() || !dir.exists()) return 0;
    const QString prefix = forName.isEmpty() ? QStringLiteral(".") : TempPrefix(forName);
    const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-minAgeSecs);
    int removed = 0;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& f : entries) {
        const QString n = f.fileName();
        // "." + name + "." + six characters + ".tmp"
        if (!n.startsWith(prefix) || !n.endsWith(kTempSuffix) || n.size() < prefix.size() + 10 ||
            n.at(n.size() - 11) != QLatin1Char('.') || f.isSymLink())
            continue;
        if (f.lastModified().toUTC() > limit) continue;
        if (dir.remove(n)) ++removed;
    }
    return removed;
}
