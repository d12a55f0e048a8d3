#include "mrvemail/sendpass.h"

#include <fcntl.h>

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>
#include <QTime>
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

QString MessageBase(const QString& Path) {
    // Only the file name loses its last extension: a dot in a folder name
    // never moves an outcome file into another folder, and the parts of the
    // name before the extension (a deferral stamp) keep two messages of one
    // job apart.
    const QString name = FileNameOf(Path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? Path : Path.left(Path.size() - name.size() + dot);
}

QString SentFileName(const QString& Path) { return MessageBase(Path) + QStringLiteral(".DON"); }

QString ErrorFileName(const QString& Path) { return MessageBase(Path) + QStringLiteral(".ERR"); }

QString ErrorLogName(const QString& Path) { return MessageBase(Path) + QStringLiteral("LOG"); }

std::optional<DateVal> DeferredUntil(const QString& Path) {
    const QString base = FileNameOf(MessageBase(Path));
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return std::nullopt;
    const QString stamp = base.mid(dot + 1);
    if (stamp.size() != 12) return std::nullopt;
    for (QChar c : stamp)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    auto part = [&](int from, int length) { return stamp.mid(from, length).toInt(); };
    const QDate date(part(0, 4), part(4, 2), part(6, 2));
    const QTime time(part(8, 2), part(10, 2));
    if (!date.isValid() || !time.isValid()) return std::nullopt;
    return DateVal::fromDateTime(date.year(), date.month(), date.day(), time.hour(), time.minute(), 0);
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

QString MessageIdOf(const QString& Path, const QDateTime& Modified) {
    // The folder and the computer tell apart messages of the same name and
    // minute written elsewhere.
    const QByteArray where = QSysInfo::machineHostName().toUtf8() + '\n' + QFileInfo(Path).absolutePath().toUtf8();
    const QString tag = QString::fromLatin1(QCryptographicHash::hash(where, QCryptographicHash::Sha1).toHex().left(8));
    return FileNameOf(MessageBase(Path)) + QLatin1Char('.') +
           Modified.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('.') + tag;
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
                                 SendPassState& State, const SendPassHooks& Hooks, QString* Reason) {
    const auto rename = Hooks.rename ? Hooks.rename : RenameNoReplace;
    const QFileInfo info(Path);
    if (!info.exists()) return MessageOutcome::Vanished;
    // A deferred message waits, untouched, for the first pass at or after
    // the moment in its name.
    if (const std::optional<DateVal> until = DeferredUntil(Path); until && Now() < *until) return MessageOutcome::Held;
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    const QString logFile = ErrorLogName(Path);

    // A file handled before whose rename failed: only the rename is tried
    // again, so a sent message never goes out twice. A file that changed
    // since is a new message.
    if (auto it = State.pending.find(Path); it != State.pending.end()) {
        if (it->size == size && it->modified == modified) {
            const QString target = FreeFileName(it->errors ? ErrorFileName(Path) : SentFileName(Path));
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
    // The sent name is given as soon as the server has taken the message,
    // before the session is closed: a crash after that point can no longer
    // send the message a second time.
    bool renameTried = false;
    bool renamed = false;
    QString sentTarget;
    if (errors.isEmpty()) {
        MailMessage mail;
        mail.messageId = MessageIdOf(Path, modified);
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
            const MailStatus status = Mail.send(mail, [&] {
                renameTried = true;
                sentTarget = FreeFileName(SentFileName(Path));
                renamed = rename(Path, sentTarget, &why);
            });
            if (status) {
                sent = true;
                DeleteSentFiles(msg.deleteList);
            } else if (status.fault == MailFault::Message) {
                errors += CRLF + QStringLiteral("Send failed: ") + status.message;
            } else {
                // Nothing is wrong with the message: it stays as it is and a
                // later pass sends it once the server takes it.
                if (Reason) *Reason = status.message;
                return status.fault == MailFault::Connection ? MessageOutcome::ServerUnavailable
                                                             : MessageOutcome::PutOff;
            }
        }
    }

    if (errors.isEmpty()) {
        const QString target = renameTried ? sentTarget : FreeFileName(SentFileName(Path));
        if (!(renameTried ? renamed : rename(Path, target, &why))) {
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

    const QString target = FreeFileName(ErrorFileName(Path));
    if (!rename(Path, target, &why)) {
        errors += CRLF + QStringLiteral("The message file could not be renamed to %1: %2").arg(target, why);
        State.pending.insert(Path, {size, modified, true});
    }
    AppendLine(logFile, ErrorLogLine(Config.dateFormat, Path, errors));
    return MessageOutcome::Errors;
}

int DeleteFilesOfSentMessages(const QString& EmailPath) {
    int deleted = 0;
    const QDir folder(EmailPath);
    for (const QFileInfo& don : folder.entryInfoList({QStringLiteral("*.don")}, QDir::Files | QDir::Hidden)) {
        QStringList lines;
        if (!ReadTextLines(don.filePath(), &lines)) continue;
        const EojMessage msg = ParseEojMessage(lines);
        // A message that went unsent for want of data deleted nothing.
        if (!msg.wantsSending()) continue;
        // The rename to ".DON" changed the message file's status time: a
        // file changed after it is a new one of the same name, not this
        // message's.
        const QDateTime handled = don.metadataChangeTime();
        QStringList left;
        for (const QString& f : msg.deleteList) {
            const QFileInfo info(f);
            if (info.isFile() && info.metadataChangeTime() <= handled) left << f;
        }
        DeleteSentFiles(left);
        for (const QString& f : left) deleted += QFileInfo::exists(f) ? 0 : 1;
    }
    return deleted;
}

PassSummary RunSendPass(const EmailConfig& Config, MailSession& Mail, SendPassState& State,
                        const SendPassHooks& Hooks) {
    PassSummary summary;
    // A stop between a message's rename to ".DON" and the deletion of its
    // files (a crash, a kill) left those files: the first pass of a session
    // deletes them.
    if (!State.sentMessagesTidied) {
        State.sentMessagesTidied = true;
        DeleteFilesOfSentMessages(Config.emailPath);
    }
    // The folder is listed again after each round, so messages published
    // during the pass go out in it too; a file already met in this pass is
    // never taken a second time, whatever became of it.
    QSet<QString> seen;
    for (bool endPass = false; !endPass;) {
        bool any = false;
        for (const QString& name : ListMessageFiles(Config.emailPath)) {
            const QString path = JoinPath(Config.emailPath, name);
            if (seen.contains(path)) continue;
            if (Hooks.stop && Hooks.stop()) {
                summary.stopped = true;
                endPass = true;
                break;
            }
            seen.insert(path);
            any = true;
            QString reason;
            switch (HandleMessageFile(path, Config, Mail, State, Hooks, &reason)) {
                case MessageOutcome::Sent:
                    ++summary.sent;
                    break;
                case MessageOutcome::NotSent:
                    ++summary.notSent;
                    break;
                case MessageOutcome::Errors:
                    ++summary.errors;
                    break;
                case MessageOutcome::Held:
                    ++summary.held;
                    break;
                case MessageOutcome::PutOff:
                    ++summary.waiting;
                    summary.serverFault = reason;
                    break;
                case MessageOutcome::ServerUnavailable:
                    // Every further message would wait for the same server
                    // (as long as its time-outs, each), so they are left to
                    // the next pass.
                    ++summary.waiting;
                    summary.serverFault = reason;
                    endPass = true;
                    break;
                case MessageOutcome::Vanished:
                case MessageOutcome::RenameRetried:
                    break;
            }
            if (endPass) break;
        }
        if (!any) break;
    }
    summary.errorFiles = CountErrorFiles(Config.emailPath);
    return summary;
}
