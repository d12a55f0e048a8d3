#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

#include "mrvemail/emailconfig.h"
#include "platform/mail.h"

// The sending pass: every "<name>.eml" file of the messages folder is read,
// sent, and renamed to "<name>.DON" (sent, or not sent for want of data) or to
// "<base>.ERR" with a line in the error log "<base>LOG" ("<base>" is the file's
// name up to its first "."). Each file is handled at most once per pass, and
// the pass never stops on one file's failure.

/// What became of one message file in a pass.
enum class MessageOutcome {
    Sent,           ///< sent; renamed to .DON (or its rename is pending)
    NotSent,        ///< asked for files and found no data: not sent, renamed to .DON
    Errors,         ///< not sent; renamed to .ERR with a log line
    Vanished,       ///< the file was gone before it could be read
    RenameRetried,  ///< handled in an earlier pass; only its rename was tried again
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
};

/// What the pass needs from its caller.
struct SendPassHooks {
    /// Shown while a message is read (the subject so far); the window lets
    /// its pending events run here.
    std::function<void(const QString& progress)> progress;
    /// Renames a file without replacing another; false with *error set when
    /// it fails. Unset: the file system's rename.
    std::function<bool(const QString& from, const QString& to, QString* error)> rename;
};

/// Counts of one pass.
struct PassSummary {
    int sent = 0;
    int notSent = 0;
    int errors = 0;
    /// Error files in the messages folder when the pass ended.
    int errorFiles = 0;
};

/// Runs one pass over Config.emailPath with Mail (logged on). Never throws and
/// never stops on one message.
PassSummary RunSendPass(const EmailConfig& Config, MailSession& Mail, SendPassState& State,
                        const SendPassHooks& Hooks = {});

/// Handles one message file (steps of one message of a pass).
MessageOutcome HandleMessageFile(const QString& Path, const EmailConfig& Config, MailSession& Mail,
                                 SendPassState& State, const SendPassHooks& Hooks = {});

/// The ".eml" files of a folder (any letter case of the extension), by name.
QStringList ListMessageFiles(const QString& EmailPath);

/// The sent name of a message file: its last three characters replaced by "DON".
QString SentFileName(const QString& Path);

/// The base of the error names of a message file: its folder and its name up
/// to the first "." (a dot in the folder path does not count).
QString ErrorBase(const QString& Path);

/// Wanted when no file of that name exists; else the first free name made by
/// putting ".2", ".3", ... before its extension.
QString FreeFileName(const QString& Wanted);

/// The error log line for a message file: the present moment in DateFormat
/// and " hh:nn", a blank, the file's path, ":  " and the errors (each of
/// which begins with CR LF).
QString ErrorLogLine(const QString& DateFormat, const QString& Path, const QString& Errors);

/// The number of "*.err" files of a folder (any letter case).
int CountErrorFiles(const QString& EmailPath);

/// The errors label: "<n> error files in <EmailPath>", or "" for none.
QString ErrorFilesText(int Count, const QString& EmailPath);

/// Deletes the files a sent message asked to delete; failures are ignored. In
/// the development setting (InDevEnvironment) each gets the name of its
/// folder, its name up to the first "." and "DEL" instead.
void DeleteSentFiles(const QStringList& Files);
