#include "common/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile f(path);
    // Writing through a temporary file needs the folder to be writable; a
    // read-only folder is an error, never a half-written file.
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, f.errorString());
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, f.errorString());
        f.cancelWriting();
        return false;
    }
    return true;
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

bool WriteAllTo(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, static_cast<size_t>(left));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        left -= w;
    }
    return true;
}

}  // namespace

bool ReplaceFile(const QString& path, const QByteArray& bytes, QString* error, int mode, bool flush) {
    const QString folder = FolderOf(path);
    const QString name = FileNameOf(path);
    QByteArray tmpl = QFile::encodeName(JoinPath(folder, TempPrefix(name) + QStringLiteral("XXXXXX") + kTempSuffix));
    auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, why);
        return false;
    };
    const int fd = ::mkostemps(tmpl.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        return fail(QStringLiteral("cannot create a file in the folder \"%1\": %2")
                        .arg(folder.isEmpty() ? QStringLiteral(".") : folder, qt_error_string(e)));
    }
    bool ok = WriteAllTo(fd, bytes) && ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && (!flush || ::fsync(fd) == 0);
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && ::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(tmpl.constData());
        return fail(qt_error_string(e));
    }
    if (!flush) return true;
    const int dir = ::open(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
