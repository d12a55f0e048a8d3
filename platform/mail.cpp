#include "platform/mail.h"

#include <curl/curl.h>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUuid>
#include <mutex>

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Characters that may not stand in an address part of our simple form.
bool IsAddressChar(QChar c) {
    const char16_t u = c.unicode();
    if (u <= 0x20 || u >= 0x7f) return false;
    return !QStringLiteral("()<>[],;:\\\"").contains(c);
}

bool IsUsableAddress(const QString& a) {
    const qsizetype at = a.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == a.size() - 1 || a.indexOf(QLatin1Char('@')) != at) return false;
    for (QChar c : a)
        if (c != QLatin1Char('@') && !IsAddressChar(c)) return false;
    return true;
}

bool IsPlainAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) return false;
    return true;
}

// Text as RFC 2047 encoded words, each short enough for a header line; a
// multi-byte character is never split between two words.
QByteArray EncodedWords(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    qsizetype i = 0;
    while (i < utf8.size()) {
        qsizetype n = qMin<qsizetype>(45, utf8.size() - i);
        while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) --n;
        if (!out.isEmpty()) out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(i, n).toBase64() + "?=";
        i += n;
    }
    return out;
}

// Text that a mail reader would decode as encoded words if it went plain.
bool LooksEncoded(const QString& text) { return text.contains(QLatin1String("=?")); }

// A header value: plain when it is short printable ASCII that no reader would
// take for encoded words, else encoded words, so the receiver reads exactly
// the text.
QByteArray HeaderText(const QString& text) {
    if (IsPlainAscii(text) && text.size() <= 900 && !LooksEncoded(text)) return text.toLatin1();
    return EncodedWords(text);
}

// The two parameters that carry an attachment's file name: name="..." for
// Content-Type (RFC 2047 encoded words inside the quotes for readers that know
// no better) and filename*=UTF-8''... for Content-Disposition (RFC 2231,
// percent-encoded, in continuations of at most 60 characters). A name of
// plain ASCII that looks like no encoded word goes as a quoted string.
struct NameParameters {
    QByteArray type;
    QByteArray disposition;
};

NameParameters AttachmentNameParameters(const QString& name) {
    if (IsPlainAscii(name) && name.size() <= 60 && !LooksEncoded(name)) {
        QByteArray q = name.toLatin1();
        q.replace('\\', "\\\\").replace('"', "\\\"");
        return {"name=\"" + q + '"', "filename=\"" + q + '"'};
    }
    QByteArray encoded;
    for (const char ch : name.toUtf8()) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           QByteArray("!#$&+-.^_`|~").contains(static_cast<char>(c));
        if (plain)
            encoded += static_cast<char>(c);
        else
            encoded += '%' + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
    }
    QByteArray disposition;
    if (encoded.size() <= 60) {
        disposition = "filename*=UTF-8''" + encoded;
    } else {
        // Continuations never split a "%XX".
        int n = 0;
        for (qsizetype i = 0; i < encoded.size(); ++n) {
            qsizetype len = qMin<qsizetype>(60, encoded.size() - i);
            if (i + len < encoded.size()) {
                const qsizetype pct = encoded.lastIndexOf('%', i + len - 1);
                if (pct >= i && pct > i + len - 3) len = pct - i;
            }
            if (n > 0) disposition += ";\r\n ";
            disposition += "filename*" + QByteArray::number(n) + "*=" + (n == 0 ? "UTF-8''" : "") + encoded.mid(i, len);
            i += len;
        }
    }
    return {"name=\"" + EncodedWords(name).replace("\r\n ", " ") + '"', disposition};
}

// The content type of an attachment, from its name's extension, so a mail
// reader shows a text report inline and offers an image as an image. The file
// is not looked into: a name the desktop's type database does not know goes
// as application/octet-stream.
QByteArray AttachmentType(const QString& name) {
    static const QMimeDatabase db;
    return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toLatin1();
}

// Characters that make a display name a quoted string.
const QRegularExpression& NameSpecials() {
    static const QRegularExpression specials(QStringLiteral("[()<>\\[\\]:;@\\\\,.\"]"));
    return specials;
}

QByteArray Mailbox(const MailAddress& a) {
    const QByteArray address = a.address.toLatin1();
    if (a.name.isEmpty()) return address;
    QByteArray name;
    if (!IsPlainAscii(a.name) || LooksEncoded(a.name)) {
        name = EncodedWords(a.name);
    } else if (a.name.contains(NameSpecials())) {
        QString q = a.name;
        q.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        name = '"' + q.toLatin1() + '"';
    } else {
        name = a.name.toLatin1();
    }
    return name + " <" + address + ">";
}

QByteArray MailboxList(const QList<MailAddress>& list) {
    QByteArray out;
    for (const MailAddress& a : list) {
        if (!out.isEmpty()) out += ",\r\n ";
        out += Mailbox(a);
    }
    return out;
}

// What one transfer leaves behind for the failure text: curl's own message
// and the last refusal (4xx or 5xx answer line) of the server. Only refusals
// are kept: the "221" of the closing QUIT must not hide the reason. The
// commands sent tell where the transfer stood when it was refused or broke.
struct Transfer {
    char errbuf[CURL_ERROR_SIZE] = {};
    QByteArray refusal;
    /// The command the refusal answered ("MAIL", "RCPT", "DATA", "AUTH", ...).
    QByteArray refusalAfter;
    /// The last command sent (its first word, upper case).
    QByteArray lastCommand;
    /// MAIL FROM was sent: the message's own transaction had begun.
    bool began = false;
    const std::function<void()>* idle = nullptr;
};

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (type == CURLINFO_HEADER_OUT) {
        // Only the command word is kept: an AUTH line carries credentials.
        const QByteArray line(data, static_cast<qsizetype>(size));
        t->lastCommand = line.trimmed().split(' ').value(0).split(':').value(0).toUpper();
        if (t->lastCommand == "MAIL") t->began = true;
    } else if (type == CURLINFO_HEADER_IN) {
        for (const QByteArray& line : QByteArray(data, static_cast<qsizetype>(size)).split('\n')) {
            const QByteArray l = line.trimmed();
            if (l.startsWith('4') || l.startsWith('5')) {
                t->refusal = l;
                t->refusalAfter = t->lastCommand;
            }
        }
    }
    return 0;
}

// Where the fault of a failed transfer lies. The server's answer to the
// message's own envelope or content decides by its class (5xx for good, 4xx
// for now). A failure before MAIL FROM (no connection, no TLS, log-on
// refused) has nothing to do with the message. After it, a broken or stalled
// connection puts the message off; anything else (an attachment that could not
// be read meanwhile, ...) belongs to the message.
MailFault FaultOf(CURLcode code, const Transfer& t) {
    // A sender refused for good, or a server that wants a log-on first,
    // refuses every message alike: the session is at fault, not the message.
    // A message too large (552 to the size it announced) is its own fault.
    if (t.refusal.startsWith("530") ||
        (t.refusalAfter == "MAIL" && t.refusal.startsWith('5') && !t.refusal.startsWith("552")))
        return MailFault::Connection;
    const bool envelope = t.refusalAfter == "MAIL" || t.refusalAfter == "RCPT" || t.refusalAfter == "DATA";
    if (!t.refusal.isEmpty() && envelope) return t.refusal.startsWith('5') ? MailFault::Message : MailFault::Temporary;
    if (!t.began) return MailFault::Connection;
    switch (code) {
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_PARTIAL_FILE:
            return MailFault::Temporary;
        default:
            return MailFault::Message;
    }
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->idle && *t->idle) (*t->idle)();
    return 0;
}

// The left part of a Message-ID: dot-separated runs of the characters an
// address may hold unquoted; any other character becomes "_".
QByteArray IdText(const QString& id) {
    static const QByteArray allowed = "!#$%&'*+-/=?^_`{|}~";
    QByteArray out;
    for (QChar c : id) {
        const char16_t u = c.unicode();
        const bool plain = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                           (u < 0x80 && allowed.contains(static_cast<char>(u)));
        if (u == u'.' && !out.isEmpty() && !out.endsWith('.'))
            out += '.';
        else if (u != u'.')
            out += plain ? static_cast<char>(u) : '_';
    }
    while (out.endsWith('.')) out.chop(1);
    return out.isEmpty() ? QByteArrayLiteral("_") : out;
}

QByteArray ServerUrl(const SmtpSettings& s) {
    QString host = s.server.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QString scheme = s.tls == SmtpTls::Ssl ? QStringLiteral("smtps") : QStringLiteral("smtp");
    return (scheme + QStringLiteral("://") + host + QLatin1Char(':') + QString::number(s.port)).toUtf8();
}

// The options every connection of a session shares. The byte arrays must
// outlive the transfer, so the caller keeps them.
void Configure(CURL* c, const SmtpSettings& s, const QByteArray& url, const QByteArray& user,
               const QByteArray& password, Transfer& t) {
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, t.errbuf);
    // The debug hook is how the server's answer lines reach us; curl calls it
    // only in verbose mode, and it replaces curl's own printing.
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    const long secs = s.timeoutSecs > 0 ? s.timeoutSecs : 60;
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, secs);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, secs);
    // A transfer that stalls for that long is given up, so a dead server
    // cannot hold the window for ever.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, secs);
    curl_easy_setopt(c, CURLOPT_USE_SSL, s.tls == SmtpTls::StartTls ? CURLUSESSL_ALL : CURLUSESSL_NONE);
    if (!s.user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
}

QString FailureText(CURLcode code, const Transfer& t) {
    QString why = t.errbuf[0] ? QString::fromUtf8(t.errbuf) : QString::fromUtf8(curl_easy_strerror(code));
    // The server's refusal is what the operator needs to read: it names the
    // refused recipient or the reason the server gives.
    if (!t.refusal.isEmpty())
        return QStringLiteral("The mail server answered \"%1\" (%2)").arg(QString::fromUtf8(t.refusal), why);
    return why;
}

}  // namespace

std::optional<MailAddress> ParseMailAddress(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    MailAddress a;
    if (t.endsWith(QLatin1Char('>'))) {
        const qsizetype open = t.lastIndexOf(QLatin1Char('<'));
        if (open < 0) return std::nullopt;
        a.address = t.mid(open + 1, t.size() - open - 2).trimmed();
        QString name = t.left(open).trimmed();
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        for (QChar c : name)
            if (c.unicode() < 0x20) return std::nullopt;
        a.name = name;
    } else {
        a.address = t;
    }
    if (!IsUsableAddress(a.address)) return std::nullopt;
    return a;
}

MailSession::MailSession() { InitCurlOnce(); }

MailSession::~MailSession() = default;

MailStatus MailSession::logOn(const SmtpSettings& settings) {
    logOff();
    // Every failure of a log-on is the session's, none a message's.
    const MailFault fault = MailFault::Connection;
    const std::optional<MailAddress> from = ParseMailAddress(settings.from);
    if (!from)
        return MailStatus::failure(
            QStringLiteral("The sender \"%1\" is not a usable e-mail address").arg(settings.from), fault);
    if (settings.server.trimmed().isEmpty())
        return MailStatus::failure(QStringLiteral("No mail server is named"), fault);
    if (settings.port < 1 || settings.port > 65535)
        return MailStatus::failure(QStringLiteral("The mail server port %1 is out of range").arg(settings.port), fault);

    CURL* c = curl_easy_init();
    if (!c) return MailStatus::failure(QStringLiteral("The mail library could not start a session"), fault);
    Transfer t;
    t.idle = &idle_;
    const QByteArray url = ServerUrl(settings), user = settings.user.toUtf8(), password = settings.password.toUtf8();
    Configure(c, settings, url, user, password, t);
    // Connect-only runs the greeting, STARTTLS and the authentication, which
    // is exactly what a log-on has to prove.
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_cleanup(c);
    if (rc != CURLE_OK) return MailStatus::failure(FailureText(rc, t), fault);
    settings_ = settings;
    sender_ = *from;
    loggedOn_ = true;
    return MailStatus::success();
}

void MailSession::logOff() {
    loggedOn_ = false;
    settings_ = SmtpSettings();
    sender_ = MailAddress();
}

MailStatus MailSession::send(const MailMessage& m, const std::function<void()>& accepted) {
    if (!loggedOn_)
        return MailStatus::failure(QStringLiteral("The mail session is not logged on"), MailFault::Connection);
    if (m.to.isEmpty() && m.cc.isEmpty()) return MailStatus::failure(QStringLiteral("The message has no recipients"));
    for (const MailAttachment& a : m.attachments) {
        QFile f(a.path);
        if (!f.open(QIODevice::ReadOnly))
            return MailStatus::failure(
                QStringLiteral("Cannot read the attachment %1: %2").arg(a.path, f.errorString()));
    }

    CURL* c = curl_easy_init();
    if (!c)
        return MailStatus::failure(QStringLiteral("The mail library could not start a session"), MailFault::Connection);
    Transfer t;
    t.idle = &idle_;
    const QByteArray url = ServerUrl(settings_), user = settings_.user.toUtf8(), password = settings_.password.toUtf8();
    Configure(c, settings_, url, user, password, t);

    const QByteArray mailFrom = '<' + sender_.address.toLatin1() + '>';
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_slist* rcpt = nullptr;
    for (const QList<MailAddress>* list : {&m.to, &m.cc})
        for (const MailAddress& a : *list)
            rcpt = curl_slist_append(rcpt, ('<' + a.address.toLatin1() + '>').constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);

    QString subject = m.subject;
    subject.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QString domain = sender_.address.mid(sender_.address.indexOf(QLatin1Char('@')) + 1);
    const QList<QByteArray> headerLines = {
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1(),
        "From: " + Mailbox(sender_),
        m.to.isEmpty() ? QByteArray() : "To: " + MailboxList(m.to),
        m.cc.isEmpty() ? QByteArray() : "Cc: " + MailboxList(m.cc),
        "Subject: " + HeaderText(subject),
        "Message-ID: <" +
            (m.messageId.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1()
                                   : IdText(m.messageId)) +
            '@' + domain.toLatin1() + '>',
    };
    curl_slist* headers = nullptr;
    for (const QByteArray& h : headerLines)
        if (!h.isEmpty()) headers = curl_slist_append(headers, h.constData());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);

    curl_mime* mime = curl_mime_init(c);
    // Quoted-printable keeps long lines and non-ASCII text intact; curl
    // itself doubles a "." that starts a line of the transfer.
    const QByteArray text = m.text.toUtf8();
    curl_mimepart* part = curl_mime_addpart(mime);
    curl_mime_data(part, text.constData(), static_cast<size_t>(text.size()));
    curl_mime_type(part, "text/plain; charset=UTF-8");
    curl_mime_encoder(part, "quoted-printable");
    QList<QByteArray> keep;  // paths must live until the transfer ends
    for (const MailAttachment& a : m.attachments) {
        keep << QFile::encodeName(a.path);
        part = curl_mime_addpart(mime);
        curl_mime_filedata(part, keep.last().constData());
        // The file name goes in headers of our own: curl would put it raw,
        // 8-bit and unencoded, into the part's header.
        const NameParameters names = AttachmentNameParameters(a.name);
        curl_slist* partHeaders = nullptr;
        partHeaders =
            curl_slist_append(partHeaders, ("Content-Type: " + AttachmentType(a.name) + "; " + names.type).constData());
        partHeaders =
            curl_slist_append(partHeaders, ("Content-Disposition: attachment; " + names.disposition).constData());
        curl_mime_headers(part, partHeaders, 1);
        curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime);

    const CURLcode rc = curl_easy_perform(c);
    // The transfer ends with the server's answer to the message; the QUIT of
    // the connection goes out only at the cleanup below.
    if (rc == CURLE_OK && accepted) accepted();
    curl_easy_cleanup(c);
    curl_mime_free(mime);
    curl_slist_free_all(headers);
    curl_slist_free_all(rcpt);
    if (rc != CURLE_OK) return MailStatus::failure(FailureText(rc, t), FaultOf(rc, t));
    return MailStatus::success();
}
