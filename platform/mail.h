#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Mail through an SMTP server (libcurl): the e-mailer logs on once, then sends
// one message per end-of-job message file. Every failure comes back as a value
// with the reason; nothing here shows a message box.

/// How the connection to the server is protected.
enum class SmtpTls {
    None,      ///< plain SMTP
    StartTls,  ///< plain connection upgraded with STARTTLS, which must succeed
    Ssl,       ///< TLS from the first byte (smtps)
};

/// The server and the sender a session uses.
struct SmtpSettings {
    QString server = QStringLiteral("localhost");
    int port = 25;
    SmtpTls tls = SmtpTls::None;
    /// The sender, "address" or "Name <address>".
    QString from;
    /// Log-on name; empty: no authentication.
    QString user;
    QString password;
    /// Seconds to wait for the connection and for each answer of the server.
    int timeoutSecs = 60;
};

/// One mailbox: a display name (may be empty) and its address.
struct MailAddress {
    QString name;
    QString address;
};

/// Reads "local@domain", "Display Name <local@domain>" or
/// "\"Display Name\" <local@domain>" (blanks around it ignored). nullopt when
/// the text is no usable address: no "@", an empty part, blanks, control
/// characters, characters outside ASCII or any of ()<>[],;:\" in the address.
std::optional<MailAddress> ParseMailAddress(const QString& text);

/// A file sent with a message; name is the file name the receiver sees.
struct MailAttachment {
    QString name;
    QString path;
};

/// A message to send: the text goes as a UTF-8 text part (quoted-printable, so
/// long lines and lines that begin with "." arrive as written), attachments as
/// base64 parts typed by the extension of their names (text/plain for
/// "report.txt"; application/octet-stream for an extension the system's MIME
/// database does not know).
struct MailMessage {
    QList<MailAddress> to;
    QList<MailAddress> cc;
    QString subject;
    QString text;
    QList<MailAttachment> attachments;
    /// The part of the Message-ID before its "@" (the sender's domain follows
    /// it). A message sent again carries the same id, so its receivers can
    /// drop the second copy. Empty: an id of its own for every sending.
    QString messageId;
};

/// Where the fault of a failed operation lies, which decides what the caller
/// does with the message.
enum class MailFault {
    None,        ///< nothing failed
    Message,     ///< the message cannot go: the server refused it for good (a
                 ///< 5xx answer to a recipient or to its content) or it
                 ///< cannot be built; sending it again fails again
    Temporary,   ///< the server put the message off (a 4xx answer) or the
                 ///< connection broke while the message was being handed
                 ///< over; the same message may go later
    Connection,  ///< no message could be handed over: the server cannot be
                 ///< reached, TLS or the log-on failed, the session is not
                 ///< logged on, the server refuses the sender or asks for
                 ///< authentication; every message waits until that is over
};

/// Outcome of a session operation: ok, or the reason it failed (for a
/// refusal, with the server's own answer) and where the fault lies.
struct MailStatus {
    bool ok = true;
    QString message;
    MailFault fault = MailFault::None;

    static MailStatus success() { return {}; }
    static MailStatus failure(const QString& why, MailFault fault = MailFault::Message) { return {false, why, fault}; }
    explicit operator bool() const { return ok; }
};

/// A session with one SMTP server. Not copyable; one message at a time.
class MailSession {
public:
    MailSession();
    ~MailSession();
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    /// Connects to the server and authenticates (when a user is set), then
    /// keeps the settings for send(). Fails with the reason when the sender is
    /// no usable address, the server cannot be reached, STARTTLS or TLS fails,
    /// or the server refuses the log-on; the session is then signed off.
    MailStatus logOn(const SmtpSettings& settings);

    /// True between a successful logOn() and logOff().
    bool loggedOn() const { return loggedOn_; }

    /// Forgets the settings; send() fails afterwards.
    void logOff();

    /// Sends one message over a new connection. Fails with the reason when the
    /// session is not logged on, the message has no recipient, an attachment
    /// cannot be read, the server cannot be reached, or the server refuses the
    /// sender, any recipient or the message (the reason then holds the
    /// server's answer); the status's fault tells which (see MailFault).
    /// Nothing is sent to anyone when a recipient is refused. Accepted, when
    /// given, is called as soon as the server has taken the message for
    /// delivery, before the connection is closed (a crash after it cannot
    /// make the caller send the message again).
    MailStatus send(const MailMessage& message, const std::function<void()>& accepted = {});

    /// Called now and then while the session waits for the server, so a
    /// window can let its pending events run. Must not use this session.
    void setIdleCallback(std::function<void()> idle) { idle_ = std::move(idle); }

private:
    SmtpSettings settings_;
    MailAddress sender_;
    bool loggedOn_ = false;
    std::function<void()> idle_;
};
