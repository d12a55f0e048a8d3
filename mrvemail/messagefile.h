#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "platform/mail.h"

// The end-of-job message file: one KEYWORD=value command per line, written by
// the scheduler (or by hand) into the messages folder as "<name>.eml".
//
//   TO, ADDR, ADDRESSEE       a recipient; several may stand on one line, ";"-separated
//   CC, CARBONCOPY            a copy recipient, the same way
//   SUBJ, SUBJECT             subject text; several lines join with one blank
//   BODY                      body text; lines join with one blank (none
//                             after a break), each "~" at the end of the
//                             body becomes a line break
//   ATT, ATTACHMENT           file[,option=value...]: attach the file
//   EMB, EMBED                file-or-pattern[,option=value...]: copy the
//                             file's lines into the body
//   MBB, MAXBODYBYTES         body size limit (default 30000, at least 5000)
//   SIND, SENDIFNODATA        YES: send even when no ATT/EMB line found data
//
// Options: ENV/ENVELOPE=YES|NO|text and EMPTY=ERROR|REPORT|SILENT (EMB only),
// NOF/NOFILE=ERROR|REPORT|SILENT, DEL/DELETE/ERA/ERASE=YES|NO.
// Reading a file never fails: every fault becomes an error text of the
// message, which then ends as an error file.

/// The body size limit a message starts with, and the lowest one a file may set.
inline constexpr qint64 kDefaultMaxBody = 30000;
inline constexpr qint64 kMinMaxBody = 5000;

/// A file to attach, with the line that asked for it.
struct EojAttachment {
    QString file;
    int line = 0;
};

/// One message as read from its file.
struct EojMessage {
    QList<MailAddress> to;
    QList<MailAddress> cc;
    /// Subject lines joined, each preceded by one blank (as read).
    QString subject;
    /// Body text, each BODY line preceded by one blank (as read) unless it
    /// begins after a line break; lines end CR LF.
    QString body;
    qint64 maxBody = kDefaultMaxBody;
    QList<EojAttachment> attachments;
    /// Files to delete after a successful send.
    QStringList deleteList;
    bool sendIfNoData = false;
    /// An ATT or EMB line was read.
    bool asksForFiles = false;
    /// An attachment exists or an embedded file was not empty.
    bool foundData = false;
    /// Every error, each preceded by CR LF; empty when the message is sound.
    QString errors;

    bool hasErrors() const { return !errors.isEmpty(); }
    /// The text to send: the body without the blank of its first join (a
    /// body that begins otherwise is kept whole), followed by three line
    /// breaks.
    QString noteText() const;
    /// The subject without the blank of its first join.
    QString subjectText() const;
    /// True when the message is to be sent: it asks for no files, found data,
    /// or is to be sent without.
    bool wantsSending() const { return !asksForFiles || foundData || sendIfNoData; }
};

/// Reads the lines of a message file (numbered from 1, blank lines counted).
/// Attachments are checked and embedded files read as the lines ask. After
/// each subject line OnSubject (when set) gets the subject so far.
EojMessage ParseEojMessage(const QStringList& Lines, const std::function<void(const QString& subject)>& OnSubject = {});

/// The recipients of a TO or CC value: one address or several separated by
/// ";". nullopt when any of them is no usable address or there is none.
std::optional<QList<MailAddress>> ResolveRecipients(const QString& Value);
