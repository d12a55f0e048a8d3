#include "common/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include "common/atomicfile.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <dirent.h>
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

void DecodeLineInto(QByteArrayView Line, QString& Out) {
    const qsizetype n = Line.size();
    const char* bytes = Line.data();
    // ASCII, eight bytes at a time: the usual line is copied as Latin-1
    // (the same characters) into the room Out already has.
    qsizetype i = 0;
    bool ascii = true;
    for (; ascii && i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, sizeof word);
        ascii = (word & 0x8080808080808080ULL) == 0;
    }
    for (; ascii && i < n; ++i) ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    Out.resize(0);
    if (!ascii) {
        // UTF-8 never takes more characters than bytes: decoded in place.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        Out.resize(n);
        const QChar* end = utf8.appendToBuffer(Out.data(), Line);
        if (!utf8.hasError()) {
            Out.resize(end - Out.constData());
            return;
        }
        Out.resize(0);
    }
    Out.append(QLatin1String(bytes, n));
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

namespace {

// Runs op until it succeeds, or fails with an error that again() does not
// take for a passing one, or kSharedRetryMs have gone by. Returns 0 on
// success, else the last errno.
template <typename Op, typename Again>
int RetryShared(Op op, Again again) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSharedRetryMs);
    int pauseMs = 5;
    for (;;) {
        errno = 0;
        if (op()) return 0;
        const int e = errno ? errno : EIO;
        if (!again(e) || std::chrono::steady_clock::now() >= until) return e;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        pauseMs = std::min(pauseMs * 2, 100);
    }
}

bool IsStale(int e) { return e == ESTALE; }

// Reads the whole file into *bytes; false with errno set and *opened telling
// whether the open or a read failed.
bool ReadAllOnce(const QByteArray& name, QByteArray* bytes, bool* opened) {
    *opened = false;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = e;
        return false;
    }
    *opened = true;
    QByteArray data;
    if (st.st_size > 0) data.reserve(static_cast<qsizetype>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0) break;
        data.append(buf, static_cast<qsizetype>(n));
    }
    ::close(fd);
    *bytes = std::move(data);
    return true;
}

}  // namespace

bool ReadFileBytes(const QString& path, QByteArray* bytes, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    bool opened = false;
    bool stale = false;
    // An ENOENT is taken for a replacement in progress when the handle went
    // stale before, or when the name is still there to stat (another
    // computer renamed a new file over it and the attributes are cached);
    // a name that is simply missing fails at once.
    const int e = RetryShared([&] { return ReadAllOnce(name, bytes, &opened); },
                              [&](int err) {
                                  if (err == ESTALE) {
                                      stale = true;
                                      return true;
                                  }
                                  if (err != ENOENT) return false;
                                  struct stat st {};
                                  return stale || ::stat(name.constData(), &st) == 0 || errno == ESTALE;
                              });
    if (e == 0) return true;
    if (error)
        *error = (opened ? QStringLiteral("Cannot read \"%1\": %2") : QStringLiteral("Cannot open \"%1\": %2"))
                     .arg(path, qt_error_string(e));
    return false;
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

bool Replace(const QString& path, const QByteArray& bytes, const ReplaceOptions& options, QString* error,
             bool inPlace = false) {
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("Cannot write a file without a name");
        return false;
    }
    ReplaceStep step = ReplaceStep::None;
    const QByteArray name = QFile::encodeName(path);
    const auto size = static_cast<std::size_t>(bytes.size());
    const int e = inPlace ? RewriteFileInPlace(name.constData(), bytes.constData(), size, options, &step)
                          : ReplaceWholeFile(name.constData(), bytes.constData(), size, options, &step);
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

bool PathExists(const QString& path) {
    if (path.isEmpty()) return false;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    return RetryShared([&] { return ::stat(name.constData(), &st) == 0; }, IsStale) == 0;
}

namespace {

QString TempPrefix(const QString& name) { return QLatin1Char('.') + name + QLatin1Char('.'); }

const QLatin1String kTempSuffix(".tmp");

}  // namespace

bool ReplaceFile(const QString& path, const QByteArray& bytes, QString* error, int mode, bool flush) {
    return Replace(path, bytes, ReplaceOptions{mode, flush}, error);
}

bool RewriteFile(const QString& path, const QByteArray& bytes, QString* error, int mode) {
    return Replace(path, bytes, ReplaceOptions{mode, false}, error, true);
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

bool IsRegularFile(const QString& path) {
    if (path.isEmpty()) return false;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    return RetryShared([&] { return ::stat(name.constData(), &st) == 0; }, IsStale) == 0 && S_ISREG(st.st_mode);
}

bool RemoveSharedFile(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const int e = RetryShared([&] { return !name.isEmpty() && ::unlink(name.constData()) == 0; }, IsStale);
    if (e == 0) return true;
    if (error) *error = qt_error_string(e);
    return false;
}

void RefreshFolderView(const QString& folder) {
    DIR* d = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!d) return;
    while (::readdir(d) != nullptr) {
    }
    ::closedir(d);
}

namespace {

void SyncFolder(const QString& folder) {
    const int dir = ::open(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool SameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

PublishResult PublishFileNoReplace(const QString& tempPath, const QString& finalPath, QString* error) {
    const QByteArray from = QFile::encodeName(tempPath);
    const QByteArray to = QFile::encodeName(finalPath);
    auto fail = [&](int e) {
        if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(finalPath, qt_error_string(e));
        return PublishResult::Failed;
    };
    int e = IoFault(IoStep::Rename, to.constData());
    if (e != 0) return fail(e);
    e = RetryShared([&] { return ::link(from.constData(), to.constData()) == 0; }, IsStale);
    // A link whose reply was lost and sent again reports EEXIST for the link
    // it made itself: the final name then leads to our own file.
    if (e == EEXIST && !SameFile(from, to)) return PublishResult::NameTaken;
    if (e == EPERM || e == EOPNOTSUPP || e == ENOSYS || e == EMLINK) {
        // No hard links on this file system (a share without them): a rename
        // that refuses to replace does the same where it is offered.
        const int renamed = RetryShared(
            [&] { return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0; },
            IsStale);
        if (renamed == EEXIST) return PublishResult::NameTaken;
        if (renamed != 0) return fail(renamed == EINVAL || renamed == ENOSYS ? e : renamed);
        SyncFolder(FolderOf(finalPath));
        return PublishResult::Published;
    }
    if (e != 0 && e != EEXIST) return fail(e);
    // The file now has both names: the temporary one goes. Should that fail,
    // the message is still published whole; the leftover is only a name.
    RetryShared([&] { return ::unlink(from.constData()) == 0 || errno == ENOENT; }, IsStale);
    SyncFolder(FolderOf(finalPath));
    return PublishResult::Published;
}

QString PublishNewFile(const QString& folder, const QByteArray& bytes, const std::function<QString(int)>& nameFor,
                       int attempts, QString* error) {
    const QString first = nameFor(0);
    QByteArray tmpl = QFile::encodeName(JoinPath(folder, TempPrefix(first) + QStringLiteral("XXXXXX") + kTempSuffix));
    const int fd = ::mkostemps(tmpl.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (error)
            *error =
                QStringLiteral("Cannot write \"%1\": cannot create a file in the folder \"%2\": %3")
                    .arg(JoinPath(folder, first), folder.isEmpty() ? QStringLiteral(".") : folder, qt_error_string(e));
        return QString();
    }
    // The new name is taken; the content goes in through the one writer, so
    // every write and the flush are checked before the file can be published.
    ::close(fd);
    const QString tempPath = QFile::decodeName(tmpl);
    ReplaceOptions options;
    options.mode = 0644;
    const int e =
        ReplaceWholeFile(tmpl.constData(), bytes.constData(), static_cast<std::size_t>(bytes.size()), options);
    if (e != 0) {
        ::unlink(tmpl.constData());
        if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(JoinPath(folder, first), qt_error_string(e));
        return QString();
    }
    for (int k = 0; k < attempts; ++k) {
        const QString target = JoinPath(folder, k == 0 ? first : nameFor(k));
        switch (PublishFileNoReplace(tempPath, target, error)) {
            case PublishResult::Published:
                return target;
            case PublishResult::NameTaken:
                continue;
            case PublishResult::Failed:
                ::unlink(tmpl.constData());
                return QString();
        }
    }
    ::unlink(tmpl.constData());
    if (error) *error = QStringLiteral("Cannot write \"%1\": every free name was taken").arg(JoinPath(folder, first));
    return QString();
}
