#include "mrvemail/sendpass.h"

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/clock.h"
#include "common/getfield.h"
#include "common/text.h"
#include "common/textfile.h"
#include "mrvemail/messagefile.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

// True when anything, a dangling link included, has that name.
bool NameTaken(const QString& path) {
    const QFileInfo f(path);
    return f.exists() || f.isSymLink();
}

// Renames without replacing: the kernel refuses when the target exists, so a
// file that appeared meanwhile is never overwritten. File systems without
// that flag get a check just before a plain rename.
bool RenameNoReplace(const QString& from, const QString& to, QString* error) {
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    int rc = ::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        if (NameTaken(to)) {
            errno = EEXIST;
        } else {
            rc = ::rename(f.constData(), t.constData());
        }
    }
    if (rc == 0) return true;
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

QString Deleted(const QString& path) {
    const QString name = FileNameOf(path);
    return path.left(path.size() - name.size()) + LeftOf(name, QStringLiteral(".")) + QStringLiteral("DEL");
}

}  // namespace

QStringList ListMessageFiles(const QString& EmailPath) {
    // No CaseSensitive flag: "X.EML" is as much a message file as "X.eml".
    return QDir(EmailPath).entryList({QStringLiteral("*.eml")}, QDir::Files | QDir::Hidden, QDir::Name);
}

QString SentFileName(const QString& Path) { return Path.left(Path.size() - 3) + QStringLiteral("DON"); }

QString ErrorBase(const QString& Path) {
    // Only the file name is cut at its first dot, so a dot in a folder name
    // never moves the error file or its log into another folder.
    const QString name = FileNameOf(Path);
    return Path.left(Path.size() - name.size()) + LeftOf(name, QStringLiteral("."));
}

QString FreeFileName(const QString& Wanted) {
    if (!NameTaken(Wanted)) return Wanted;
    const QString name = FileNameOf(Wanted);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? Wanted : Wanted.left(Wanted.size() - name.size() + dot);
    const QString ext = dot < 0 ? QString() : name.mid(dot);
    for (int n = 2;; ++n) {
        const QString candidate = stem + QLatin1Char('.') + QString::number(n) + ext;
        if (!NameTaken(candidate)) return candidate;
    }
}

QString ErrorLogLine(const QString& DateFormat, const QString& Path, const QString& Errors) {
    return FormatDate(Now(), DateFormat + QStringLiteral(" hh:nn")) + QLatin1Char(' ') + Path + QStringLiteral(":  ") +
           Errors;
}

int CountErrorFiles(const QString& EmailPath) {
    return static_cast<int>(QDir(EmailPath).entryList({QStringLiteral("*.err")}, QDir::Files | QDir::Hidden).size());
}

QString ErrorFilesText(int Count, const QString& EmailPath) {
    if (Count <= 0) return QString();
    return QStringLiteral("%1 error files in %2").arg(Count).arg(EmailPath);
}

void DeleteSentFiles(const QStringList& Files) {
    const bool dev = InDevEnvironment();
    for (const QString& f : Files) {
        if (dev)
            RenameNoReplace(f, FreeFileName(Deleted(f)), nullptr);
        else
            QFile::remove(f);
    }
}

MessageOutcome HandleMessageFile(const QString& Path, const EmailConfig& Config, MailSession& Mail,
                                 SendPassState& State, const SendPassHooks& Hooks) {
    const auto rename = Hooks.rename ? Hooks.rename : RenameNoReplace;
    const QFileInfo info(Path);
    if (!info.exists()) return MessageOutcome::Vanished;
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    const QString logFile = ErrorBase(Path) + QStringLiteral("LOG");

    // A file handled before whose rename failed: only the rename is tried
    // again, so a sent message never goes out twice. A file that changed
    // since is a new message.
    if (auto it = State.pending.find(Path); it != State.pending.end()) {
        if (it->size == size && it->modified == modified) {
            const QString target =
                FreeFileName(it->errors ? ErrorBase(Path) + QStringLiteral(".ERR") : SentFileName(Path));
            if (rename(Path, target, nullptr)) State.pending.erase(it);
            return MessageOutcome::RenameRetried;
        }
        State.pending.erase(it);
    }

    QString errors;
    EojMessage msg;
    QStringList lines;
    QString why;
    if (!ReadTextLines(Path, &lines, &why)) {
        if (!QFileInfo::exists(Path)) return MessageOutcome::Vanished;
        errors = CRLF + QStringLiteral("Cannot read the message file: ") + why;
    } else {
        msg = ParseEojMessage(lines, Hooks.progress);
        errors = msg.errors;
    }

    bool sent = false;
    if (errors.isEmpty()) {
        MailMessage mail;
        mail.to = msg.to;
        mail.cc = msg.cc;
        mail.subject = msg.subjectText();
        mail.text = msg.noteText();
        for (const EojAttachment& a : msg.attachments) {
            if (!QFileInfo(a.file).isFile()) {
                errors += CRLF + QStringLiteral("File for attachment does not exist: ") + a.file;
                break;
            }
            mail.attachments.append({FileNameOf(a.file), a.file});
        }
        if (errors.isEmpty() && msg.wantsSending()) {
            const MailStatus status = Mail.send(mail);
            if (!status) {
                errors += CRLF + QStringLiteral("Send failed: ") + status.message;
            } else {
                sent = true;
                DeleteSentFiles(msg.deleteList);
            }
        }
    }

    if (errors.isEmpty()) {
        const QString target = FreeFileName(SentFileName(Path));
        if (!rename(Path, target, &why)) {
            const QString text =
                sent ? QStringLiteral(
                           "The message was sent, but its file could not be renamed to %1: "
                           "%2. It will not be sent again.")
                           .arg(target, why)
                     : QStringLiteral("The message file could not be renamed to %1: %2").arg(target, why);
            AppendLine(logFile, ErrorLogLine(Config.dateFormat, Path, CRLF + text));
            State.pending.insert(Path, {size, modified, false});
        }
        return sent ? MessageOutcome::Sent : MessageOutcome::NotSent;
    }

    const QString target = FreeFileName(ErrorBase(Path) + QStringLiteral(".ERR"));
    if (!rename(Path, target, &why)) {
        errors += CRLF + QStringLiteral("The message file could not be renamed to %1: %2").arg(target, why);
        State.pending.insert(Path, {size, modified, true});
    }
    AppendLine(logFile, ErrorLogLine(Config.dateFormat, Path, errors));
    return MessageOutcome::Errors;
}

PassSummary RunSendPass(const EmailConfig& Config, MailSession& Mail, SendPassState& State,
                        const SendPassHooks& Hooks) {
    PassSummary summary;
    // The folder is listed again after each round, so messages published
    // during the pass go out in it too; a file already met in this pass is
    // never taken a second time, whatever became of it.
    QSet<QString> seen;
    for (;;) {
        bool any = false;
        for (const QString& name : ListMessageFiles(Config.emailPath)) {
            const QString path = JoinPath(Config.emailPath, name);
            if (seen.contains(path)) continue;
            seen.insert(path);
            any = true;
            switch (HandleMessageFile(path, Config, Mail, State, Hooks)) {
                case MessageOutcome::Sent:
                    ++summary.sent;
                    break;
                case MessageOutcome::NotSent:
                    ++summary.notSent;
                    break;
                case MessageOutcome::Errors:
                    ++summary.errors;
                    break;
                case MessageOutcome::Vanished:
                case MessageOutcome::RenameRetried:
                    break;
            }
        }
        if (!any) break;
    }
    summary.errorFiles = CountErrorFiles(Config.emailPath);
    return summary;
}
