#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "mrvemail/emailconfig.h"
#include "platform/mail.h"

// The sending pass: every "<base>.eml" file of the messages folder is read,
// sent, and renamed to "<base>.DON" (sent, or not sent for want of data) or to
// "<base>.ERR" with a line in the error log "<base>LOG" ("<base>" is the
// file's name without its last extension, so "PAYR0000.202612081045.eml"
// gives "PAYR0000.202612081045.ERR" and "PAYR0000.202612081045LOG"). A file
// whose name carries a "yyyymmddhhnn" stamp before its extension is held
// until that moment. A message the mail server could not take for now stays
// ".eml" and is tried again by a later pass. Each file is handled at most
// once per pass, and the pass never stops on one file's failure (only on a
// mail server that cannot be reached).

/// What became of one message file in a pass.
enum class MessageOutcome {
    Sent,               ///< sent; renamed to .DON (or its rename is pending)
    NotSent,            ///< asked for files and found no data: not sent, renamed to .DON
    Errors,             ///< not sent; renamed to .ERR with a log line
    Vanished,           ///< the file was gone before it could be read
    RenameRetried,      ///< handled in an earlier pass; only its rename was tried again
    Held,               ///< deferred: the moment in its name has not come; left as it is
    PutOff,             ///< the mail server put it off (4xx answer, broken connection); left for a later pass
    ServerUnavailable,  ///< the mail server could not be reached or refused the session; left for a later pass
};

/// A message file that was handled but could not be renamed. It is left in
/// place and only its rename is tried again on later passes of this session,
/// so a sent message is never sent a second time and its failure is logged
/// once.
struct PendingRename {
    qint64 size = 0;
    QDateTime modified;
    bool errors = false;
};

/// What the passes of one session remember: message files whose rename
/// failed, by path. Kept in memory only (a file whose rename failed usually
/// stands in a folder where no marker could be written either).
struct SendPassState {
    QHash<QString, PendingRename> pending;
    /// The files of messages already sent have been looked after
    /// (DeleteFilesOfSentMessages), once per session.
    bool sentMessagesTidied = false;
};

/// What the pass needs from its caller.
struct SendPassHooks {
    /// Shown while a message is read (the subject so far); the window lets
    /// its pending events run here.
    std::function<void(const QString& progress)> progress;
    /// Renames a file without replacing another; false with *error set when
    /// it fails. Unset: the file system's rename.
    std::function<bool(const QString& from, const QString& to, QString* error)> rename;
    /// Asked before each message: true ends the pass there (the operator
    /// suspended or closed the window meanwhile). Unset: never.
    std::function<bool()> stop;
};

/// Counts of one pass.
struct PassSummary {
    int sent = 0;
    int notSent = 0;
    int errors = 0;
    /// Deferred messages whose moment has not come.
    int held = 0;
    /// Messages left for a later pass because of the mail server.
    int waiting = 0;
    /// Why the last of those was left ("" when none was).
    QString serverFault;
    /// The pass ended early because Hooks.stop asked for it.
    bool stopped = false;
    /// Error files in the messages folder when the pass ended.
    int errorFiles = 0;
};

/// Runs one pass over Config.emailPath with Mail (logged on). Never throws and
/// never stops on one message's failure; it ends early only when the mail
/// server cannot be reached or refuses the whole session (the sender, a
/// log-on it asks for), leaving the messages not yet tried for a later pass,
/// or when Hooks.stop asks for it.
PassSummary RunSendPass(const EmailConfig& Config, MailSession& Mail, SendPassState& State,
                        const SendPassHooks& Hooks = {});

/// Handles one message file (steps of one message of a pass). For PutOff and
/// ServerUnavailable, *Reason (when given) gets the mail server's failure.
MessageOutcome HandleMessageFile(const QString& Path, const EmailConfig& Config, MailSession& Mail,
                                 SendPassState& State, const SendPassHooks& Hooks = {}, QString* Reason = nullptr);

/// The ".eml" files of a folder (any letter case of the extension), by name.
QStringList ListMessageFiles(const QString& EmailPath);

/// The base of the outcome names of a message file: its folder and its file
/// name without the last extension ("/m/PAYR0000.202612081045.eml" gives
/// "/m/PAYR0000.202612081045"; a dot in the folder path never counts).
QString MessageBase(const QString& Path);

/// The sent name of a message file: its base and ".DON".
QString SentFileName(const QString& Path);

/// The error name of a message file: its base and ".ERR".
QString ErrorFileName(const QString& Path);

/// The error log of a message file: its base followed by "LOG".
QString ErrorLogName(const QString& Path);

/// The moment a deferred message file is held until: the "yyyymmddhhnn" stamp
/// that ends its base ("PAYR0000.202612081045.eml" is held until 10:45 on
/// 8 Dec 2026). nullopt when the base ends in no such stamp or the stamp is no
/// valid date and time; such a file is no deferred message.
std::optional<DateVal> DeferredUntil(const QString& Path);

/// Wanted when no file of that name exists; else the first free name made by
/// putting ".2", ".3", ... before its extension. Outcome files are never
/// replaced: a message file name can come back (written by hand or by another
/// program) while the ".ERR" of its namesake, the only copy of that failed
/// message, still stands.
QString FreeFileName(const QString& Wanted);

/// The error log line for a message file: the present moment in DateFormat
/// and " hh:nn", a blank, the file's path, ":  " and the errors (each of
/// which begins with CR LF).
QString ErrorLogLine(const QString& DateFormat, const QString& Path, const QString& Errors);

/// The part before "@" of the Message-ID of the message in the file Path last
/// changed at Modified: its base name, that moment and a short tag of the
/// computer and folder. A message sent again after a crash carries the same
/// id, so its receivers can drop the second copy.
QString MessageIdOf(const QString& Path, const QDateTime& Modified);

/// The number of "*.err" files of a folder (any letter case).
int CountErrorFiles(const QString& EmailPath);

/// The errors label: "<n> error files in <EmailPath>", or "" for none.
QString ErrorFilesText(int Count, const QString& EmailPath);

/// For every sent message of the folder (".DON"), deletes the files it asked
/// to delete (DEL=YES) that are still there, as DeleteSentFiles does, when
/// they have not changed since the message was renamed to ".DON": a stop
/// between the rename and the deletion must not leave them for good, and a
/// new file of the same name is no file of the old message. Returns how many
/// went. The first pass of a session calls it.
int DeleteFilesOfSentMessages(const QString& EmailPath);

/// Deletes the files a sent message asked to delete; failures are ignored. In
/// the development setting (InDevEnvironment) each gets the name of its
/// folder, its name up to the first "." and "DEL" instead.
void DeleteSentFiles(const QStringList& Files);
