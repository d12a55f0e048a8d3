#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include "mrvemail/sendpass.h"
#include "platform/mail.h"
#include "tests/mrvemail/smtp_fixture.h"
#include "tests/support/testing.h"

namespace {

SmtpSettings Local(int port) {
    SmtpSettings s;
    s.server = S("127.0.0.1");
    s.port = port;
    s.from = S("Morvenda Jobs <morvenda@example.org>");
    s.timeoutSecs = 10;
    return s;
}

// A port on 127.0.0.1 that nothing listens on (bound a moment ago, then freed).
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

QByteArray Attachment(const QJsonObject& message, int index, QString* name = nullptr) {
    const QJsonObject a = message[S("attachments")].toArray()[index].toObject();
    if (name) *name = a[S("filename")].toString();
    return QByteArray::fromBase64(a[S("data")].toString().toLatin1());
}

TEST(MailSession, MessageArrivesIntact) {
    SmtpServer server;
    ASSERT_TRUE(server.started());
    TempDir dir;
    QByteArray binary;
    for (int i = 0; i < 3000; ++i) binary += static_cast<char>(i % 256);
    const QString bin = dir.write(S("data.bin"), binary);
    const QString txt = dir.write(S("notes file.txt"), "line one\r\n.line two\r\n");

    const QString longLine = QString(1500, QLatin1Char('x')) + S(" end");
    const QString text =
        S("Hello\r\n.starts with a dot\r\n..two dots\r\n.\r\n") + longLine + S("\r\nUmlaut: Grüße\r\n\r\n\r\n");
    MailMessage m;
    m.to = {{QString(), S("ann@example.org")}, {S("Bob Jones"), S("bob@example.org")}};
    m.cc = {{S("Ops, Team"), S("ops@example.org")}};
    m.subject = S("Job PAYROLL ended – Grüße ") + QString(200, QLatin1Char('s'));
    m.text = text;
    m.attachments = {{S("data.bin"), bin}, {S("notes file.txt"), txt}};

    MailSession session;
    ASSERT_TRUE(session.logOn(Local(server.port()))) << session.logOn(Local(server.port())).message.toStdString();
    const MailStatus sent = session.send(m);
    ASSERT_TRUE(sent) << sent.message.toStdString();

    const QList<QJsonObject> got = server.messages();
    ASSERT_EQ(got.size(), 1);
    const QJsonObject& r = got[0];
    EXPECT_EQ(r[S("mail_from")].toString(), S("morvenda@example.org"));
    EXPECT_EQ(r[S("rcpt_tos")].toArray().toVariantList(),
              QVariantList({S("ann@example.org"), S("bob@example.org"), S("ops@example.org")}));
    EXPECT_EQ(r[S("to")].toString(), S("ann@example.org, Bob Jones <bob@example.org>"));
    EXPECT_EQ(r[S("cc")].toString(), S("\"Ops, Team\" <ops@example.org>"));
    EXPECT_EQ(r[S("from")].toString(), S("Morvenda Jobs <morvenda@example.org>"));
    EXPECT_EQ(r[S("subject")].toString(), m.subject);
    EXPECT_EQ(r[S("body")].toString(), text);
    QString name;
    EXPECT_EQ(Attachment(r, 0, &name), binary);
    EXPECT_EQ(name, S("data.bin"));
    EXPECT_EQ(Attachment(r, 1, &name), QByteArray("line one\r\n.line two\r\n"));
    EXPECT_EQ(name, S("notes file.txt"));
}

// Each attachment goes with the type of its name, as the receiver's own MIME
// parser reads it; the content is never looked into.
TEST(MailSession, AttachmentsAreTypedByTheirNames) {
    SmtpServer server;
    ASSERT_TRUE(server.started());
    TempDir dir;
    const struct {
        const char* name;
        const char* type;
    } cases[] = {
        {"report.txt", "text/plain"},
        {"UFN101530.SALES.TXT", "text/plain"},  // a deferred attachment's copy
        {"chart.png", "image/png"},
        {"totals.csv", "text/csv"},
        {"dump.zz9q", "application/octet-stream"},
        {"extract", "application/octet-stream"},  // no extension
    };
    MailMessage m;
    m.to = {{QString(), S("ann@example.org")}};
    m.subject = S("typed");
    m.text = S("see attached");
    for (const auto& c : cases) m.attachments.append({S(c.name), dir.write(S(c.name), "plain words\r\n")});

    MailSession session;
    ASSERT_TRUE(session.logOn(Local(server.port())));
    const MailStatus sent = session.send(m);
    ASSERT_TRUE(sent) << sent.message.toStdString();
    const QList<QJsonObject> got = server.messages();
    ASSERT_EQ(got.size(), 1);
    const QJsonArray parts = got[0][S("attachments")].toArray();
    ASSERT_EQ(parts.size(), static_cast<qsizetype>(std::size(cases)));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const QJsonObject part = parts[i].toObject();
        EXPECT_EQ(part[S("filename")].toString(), S(c.name));
        EXPECT_EQ(part[S("content_type")].toString(), S(c.type));
        EXPECT_EQ(Attachment(got[0], static_cast<int>(i)), QByteArray("plain words\r\n"));
    }
}

TEST(MailSession, RefusedRecipientFailsWithTheServersAnswer) {
    SmtpServer server({S("--refuse"), S("nobody@example.org")});
    ASSERT_TRUE(server.started());
    MailSession session;
    ASSERT_TRUE(session.logOn(Local(server.port())));
    MailMessage m;
    m.to = {{QString(), S("ann@example.org")}, {QString(), S("nobody@example.org")}};
    m.subject = S("x");
    m.text = S("y");
    const MailStatus st = session.send(m);
    EXPECT_FALSE(st);
    EXPECT_EQ(st.fault, MailFault::Message) << "a refusal for good is the message's fault";
    EXPECT_TRUE(st.message.contains(S("550 5.1.1 <nobody@example.org>: Recipient address rejected")))
        << st.message.toStdString();
    EXPECT_TRUE(server.messages().isEmpty()) << "no one gets a message with a refused recipient";
}

TEST(MailSession, LogOnChecksServerAndCredentials) {
    SmtpServer server({S("--user"), S("ops"), S("--password"), S("secret")});
    ASSERT_TRUE(server.started());
    SmtpSettings s = Local(server.port());
    s.user = S("ops");

    MailSession session;
    s.password = S("wrong");
    const MailStatus denied = session.logOn(s);
    EXPECT_FALSE(denied);
    EXPECT_TRUE(denied.message.contains(S("535"))) << denied.message.toStdString();
    EXPECT_EQ(denied.fault, MailFault::Connection);
    EXPECT_FALSE(session.loggedOn());

    s.password = S("secret");
    ASSERT_TRUE(session.logOn(s));
    MailMessage m;
    m.to = {{QString(), S("ann@example.org")}};
    m.text = S("authenticated");
    EXPECT_TRUE(session.send(m));
    EXPECT_EQ(server.messages().size(), 1);

    EXPECT_FALSE(session.logOn(Local(FreePort())));
    s.from = S("not an address");
    const MailStatus badFrom = session.logOn(s);
    EXPECT_EQ(badFrom.message, S("The sender \"not an address\" is not a usable e-mail address"));
    session.logOff();
    EXPECT_EQ(session.send(m).fault, MailFault::Connection);

    // A server gone after the log-on: no message could be handed over.
    s.from = S("morvenda@example.org");
    ASSERT_TRUE(session.logOn(s));
    server.stop();
    const MailStatus down = session.send(m);
    EXPECT_FALSE(down);
    EXPECT_EQ(down.fault, MailFault::Connection) << down.message.toStdString();
}

// The pass end to end: message files in, mail out, files renamed.
struct PassFixture {
    FakeClock clock;  // 8 Dec 2026 10:00
    SmtpServer server;
    TempDir dir;
    EmailConfig cfg;
    MailSession mail;
    SendPassState state;

    explicit PassFixture(const QStringList& options = {}) : server(options) {
        cfg.emailPath = dir.path(S("Messages"));
        QDir().mkpath(cfg.emailPath);
    }
    bool logOn() { return server.started() && mail.logOn(Local(server.port())); }
    QString msg(const QString& name, const QString& text) { return dir.write(S("Messages/") + name, text.toUtf8()); }
    bool has(const QString& name) const { return QFileInfo::exists(cfg.emailPath + QLatin1Char('/') + name); }
};

TEST(SendPassSmtp, MessagesAreSentRenamedAndTheirFilesDeleted) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    const QString att = f.dir.write(S("Attach/UFN101530.REPORT.TXT"), "report data");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7) % 256);
    const QString bin = f.dir.write(S("Attach/image.bin"), binary);
    // Embedded lines that SMTP itself could spoil: a leading ".", a lone ".",
    // a line of 2,000 characters and text beyond ASCII (the log is Latin-1,
    // the message file UTF-8).
    const QString longLine = QString(1996, QLatin1Char('x')) + S(" end");
    f.dir.write(S("logs/run.log"),
                "run line 1\r\n.hidden by a dot\r\n.\r\n" + longLine.toLatin1() + "\r\nM\xfcller \xa3\r\n");
    f.msg(S("PAYR0000.eml"), S("TO=ann@example.org;Bob Jones <bob@example.org>\r\nCC=ops@example.org\r\n"
                               "SUBJ=Job PAYROLL\r\nSUBJ=completed – Grüße\r\nBODY=Hello~\r\nBODY=.World ✓~\r\n"
                               "ATT=%1,DEL=YES\r\nATT=%3\r\nEMB=%2/logs/*.log,ENV=NO\r\n")
                                 .arg(att, f.dir.path(), bin));
    // A second message without files is sent whatever the first asked for;
    // a third that found no data is not; a fourth is broken and not sent.
    f.msg(S("PAYR0001.eml"), S("TO=ann@example.org\r\nSUBJ=plain\r\nBODY=text\r\n"));
    f.msg(S("PAYR0002.eml"), S("TO=ann@example.org\r\nATT=%1/missing.txt,NOF=S\r\n").arg(f.dir.path()));
    f.msg(S("PAYR0003.eml"), S("SUBJ=x\r\nBAD LINE\r\nTO=ann@example.org\r\nMBB=lots\r\n"));

    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.sent, 2);
    EXPECT_EQ(s.notSent, 1);
    EXPECT_EQ(s.errors, 1);
    EXPECT_TRUE(f.has(S("PAYR0000.DON")));
    EXPECT_TRUE(f.has(S("PAYR0001.DON")));
    EXPECT_TRUE(f.has(S("PAYR0002.DON")));
    EXPECT_TRUE(f.has(S("PAYR0003.ERR")));
    EXPECT_EQ(QString::fromUtf8(f.dir.read(S("Messages/PAYR0003LOG"))),
              S("08 Dec 2026 10:00 %1/PAYR0003.eml:  \r\nInvalid command at line 2\r\n"
                "MAXBODYBYTES value not numeric at line 4\r\n")
                  .arg(f.cfg.emailPath));
    EXPECT_FALSE(QFileInfo::exists(att)) << "DEL=YES deletes the attachment after sending";
    EXPECT_TRUE(QFileInfo::exists(bin)) << "without DEL=YES it stays";

    const QList<QJsonObject> got = f.server.messages();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0][S("rcpt_tos")].toArray().toVariantList(),
              QVariantList({S("ann@example.org"), S("bob@example.org"), S("ops@example.org")}));
    EXPECT_EQ(got[0][S("to")].toString(), S("ann@example.org, Bob Jones <bob@example.org>"));
    EXPECT_EQ(got[0][S("cc")].toString(), S("ops@example.org"));
    EXPECT_EQ(got[0][S("subject")].toString(), S("Job PAYROLL completed – Grüße"));
    EXPECT_EQ(got[0][S("body")].toString(), S("Hello\r\n.World ✓\r\nrun line 1\r\n.hidden by a dot\r\n.\r\n") +
                                                longLine + S("\r\nMüller £\r\n\r\n\r\n\r\n"));
    QString name;
    EXPECT_EQ(Attachment(got[0], 0, &name), QByteArray("report data"));
    EXPECT_EQ(name, S("UFN101530.REPORT.TXT"));
    EXPECT_EQ(Attachment(got[0], 1, &name), binary) << "attachments arrive byte for byte";
    EXPECT_EQ(name, S("image.bin"));
    EXPECT_EQ(got[1][S("subject")].toString(), S("plain"));
    EXPECT_EQ(got[1][S("body")].toString(), S("text\r\n\r\n\r\n"));
}

// Text of a job that merely looks like encoded words, and file names beyond
// ASCII (long ones too), arrive decoded to exactly what the job wrote; the
// raw message holds no 8-bit header byte.
TEST(SendPassSmtp, EncodedLookingTextAndForeignFileNamesArriveAsWritten) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    const QString shortName = S("Größe.txt");
    const QString longName = S("Monatsbericht für Dezember – Übersicht aller Läufe und Fehler =?x?= (Entwurf).csv");
    const QString odd = S("=?UTF-8?Q?plain?= \"quoted\".txt");
    const QString a = f.dir.write(S("Attach/") + shortName, "a");
    const QString b = f.dir.write(S("Attach/") + longName, "b");
    const QString c = f.dir.write(S("Attach/") + odd, "c");
    const QString subject = S("=?UTF-8?B?SGVsbG8=?= and =?ISO-8859-1?Q?Gr=FC=DFe?=");
    f.msg(S("ENCD0000.eml"), S("TO==?UTF-8?B?Qm9i?= <bob@example.org>\r\nSUBJ=%1\r\nBODY=x\r\n"
                               "ATT=%2\r\nATT=%3\r\nATT=\"%4\"\r\n")
                                 .arg(subject, a, b, QString(c).replace(S("\""), S("\"\""))));
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    ASSERT_EQ(s.sent, 1) << f.dir.read(S("Messages/ENCD0000LOG")).toStdString();
    const QList<QJsonObject> got = f.server.messages();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0][S("subject")].toString(), subject);
    EXPECT_EQ(got[0][S("to")].toString(), S("=?UTF-8?B?Qm9i?= <bob@example.org>"));
    QString name;
    EXPECT_EQ(Attachment(got[0], 0, &name), QByteArray("a"));
    EXPECT_EQ(name, shortName);
    EXPECT_EQ(Attachment(got[0], 1, &name), QByteArray("b"));
    EXPECT_EQ(name, longName);
    EXPECT_EQ(Attachment(got[0], 2, &name), QByteArray("c"));
    EXPECT_EQ(name, odd);
    const QString raw = got[0][S("raw")].toString();
    const QString headers = raw.left(raw.indexOf(S("\r\n\r\n")));
    for (QChar ch : raw) ASSERT_LT(ch.unicode(), 0x80) << "8-bit byte in the message";
    EXPECT_FALSE(headers.contains(subject));
}

TEST(SendPassSmtp, SentMessageIsRenamedBeforeTheSessionClosesAndKeepsItsIdWhenSentAgain) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    const int quitsBefore = f.server.quits();
    const QString path = f.msg(S("CRSH0000.eml"), S("TO=ann@example.org\r\nSUBJ=once\r\n"));
    const QFileInfo written(path);
    const QDateTime modified = written.lastModified();
    int quitsAtRename = -1;
    int receivedAtRename = -1;
    SendPassHooks hooks;
    hooks.rename = [&](const QString& from, const QString& to, QString*) {
        quitsAtRename = f.server.quits();
        receivedAtRename = static_cast<int>(f.server.messages().size());
        return QFile::rename(from, to);
    };
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    // Renamed once the server had the message, before the QUIT of its session.
    EXPECT_EQ(receivedAtRename, 1);
    EXPECT_EQ(quitsAtRename, quitsBefore);
    EXPECT_TRUE(f.has(S("CRSH0000.DON")));

    // A crash before the rename would leave the file to be sent again: the
    // second copy carries the same Message-ID; another message has its own.
    QFile::rename(f.cfg.emailPath + S("/CRSH0000.DON"), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    f.msg(S("OTHR0000.eml"), S("TO=ann@example.org\r\nSUBJ=other\r\n"));
    SendPassState fresh;
    RunSendPass(f.cfg, f.mail, fresh);
    const QList<QJsonObject> got = f.server.messages();
    ASSERT_EQ(got.size(), 3);
    const auto idOf = [](const QJsonObject& m) {
        const QString raw = m[S("raw")].toString();
        const qsizetype at = raw.indexOf(S("Message-ID: <"));
        return at < 0 ? QString() : raw.mid(at, raw.indexOf(QLatin1Char('>'), at) - at + 1);
    };
    EXPECT_TRUE(idOf(got[0]).startsWith(S("Message-ID: <CRSH0000."))) << idOf(got[0]).toStdString();
    EXPECT_TRUE(idOf(got[0]).endsWith(S("@example.org>")));
    QStringList ids{idOf(got[1]), idOf(got[2])};
    ids.sort();
    EXPECT_EQ(ids.filter(S("<CRSH0000.")).value(0), idOf(got[0]));
    EXPECT_NE(ids.filter(S("<OTHR0000.")).value(0), idOf(got[0]));
}

TEST(SendPassSmtp, ARefusedSessionEndsThePassAndLeavesEveryMessageForLater) {
    // The server refuses the sender, or wants a log-on the session does not
    // make: no message is at fault, none becomes an error file.
    const QStringList servers[] = {{S("--refuse-sender")}, {S("--user"), S("jobs"), S("--password"), S("pw")}};
    for (const QStringList& options : servers) {
        SCOPED_TRACE(options.join(QLatin1Char(' ')).toStdString());
        PassFixture f(options);
        ASSERT_TRUE(f.logOn());
        for (const char* name : {"SESS0000.eml", "SESS0001.eml", "SESS0002.eml"})
            f.msg(S(name), S("TO=ann@example.org\r\nSUBJ=waits\r\n"));
        const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
        EXPECT_EQ(s.waiting, 1) << "the pass ends at the first message";
        EXPECT_EQ(s.errors, 0);
        EXPECT_FALSE(s.serverFault.isEmpty());
        EXPECT_EQ(ListMessageFiles(f.cfg.emailPath).size(), 3);
        EXPECT_EQ(QDir(f.cfg.emailPath).entryList({S("*LOG"), S("*.ERR")}, QDir::Files).size(), 0);
        EXPECT_TRUE(f.server.messages().isEmpty());
    }
}

TEST(SendPassSmtp, RefusedRecipientEndsAsErrorWithTheServersText) {
    PassFixture f({S("--refuse"), S("gone@example.org")});
    ASSERT_TRUE(f.logOn());
    f.cfg.dateFormat = S("yyyy-mm-dd");
    const QString att = f.dir.write(S("keep.txt"), "x");
    f.msg(S("JOBx0000.eml"), S("TO=gone@example.org\r\nBODY=x\r\nATT=%1,DEL=YES\r\n").arg(att));
    RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_TRUE(f.has(S("JOBx0000.ERR")));
    EXPECT_TRUE(QFileInfo::exists(att)) << "nothing is deleted for a message that was not sent";
    const QString log = QString::fromUtf8(f.dir.read(S("Messages/JOBx0000LOG")));
    EXPECT_TRUE(log.startsWith(S("2026-12-08 10:00 %1/JOBx0000.eml:  \r\nSend failed: ").arg(f.cfg.emailPath)))
        << log.toStdString();
    EXPECT_TRUE(log.contains(S("550 5.1.1 <gone@example.org>: Recipient address rejected")));
}

TEST(SendPassSmtp, SentMessageWhoseRenameFailsIsNeverSentAgain) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    f.msg(S("ONCE0000.eml"), S("TO=ann@example.org\r\nBODY=only once\r\n"));
    bool fail = true;
    SendPassHooks hooks;
    hooks.rename = [&](const QString& from, const QString& to, QString* error) {
        if (fail) {
            if (error) *error = S("Read-only file system");
            return false;
        }
        return QFile::rename(from, to);
    };
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    EXPECT_TRUE(f.has(S("ONCE0000.eml")));
    EXPECT_EQ(f.server.messages().size(), 1);
    const QString log = QString::fromUtf8(f.dir.read(S("Messages/ONCE0000LOG")));
    EXPECT_TRUE(log.contains(S("The message was sent, but its file could not be renamed to %1/ONCE0000.DON: "
                               "Read-only file system. It will not be sent again.")
                                 .arg(f.cfg.emailPath)))
        << log.toStdString();
    EXPECT_EQ(log.count(S("\r\n08 Dec")) + (log.startsWith(S("08 Dec")) ? 1 : 0), 1) << "logged once";

    fail = false;
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    EXPECT_TRUE(f.has(S("ONCE0000.DON")));
    EXPECT_EQ(f.server.messages().size(), 1);
}

TEST(SendPassSmtp, ServerDownLeavesMessagesForALaterPass) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    const QString att = f.dir.write(S("Attach/UFN101530.TXT"), "attached");
    f.msg(S("DOWN0000.eml"), S("TO=ann@example.org\r\nSUBJ=first\r\nATT=%1,DEL=YES\r\n").arg(att));
    f.msg(S("DOWN0001.eml"), S("TO=bob@example.org\r\nSUBJ=second\r\n"));
    const QStringList before = QDir(f.cfg.emailPath).entryList(QDir::Files, QDir::Name);

    f.server.stop();
    PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.waiting, 1) << "the pass ends at the first message once the server cannot be reached";
    EXPECT_EQ(s.errors, 0);
    EXPECT_FALSE(s.serverFault.isEmpty());
    EXPECT_EQ(QDir(f.cfg.emailPath).entryList(QDir::Files, QDir::Name), before) << "no .ERR, no log, nothing renamed";
    EXPECT_TRUE(QFileInfo::exists(att)) << "nothing is deleted for a message not sent";
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.waiting, 1);
    EXPECT_EQ(QDir(f.cfg.emailPath).entryList(QDir::Files, QDir::Name), before);

    ASSERT_TRUE(f.server.start());
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.sent, 2);
    EXPECT_EQ(s.waiting, 0);
    EXPECT_TRUE(s.serverFault.isEmpty());
    EXPECT_EQ(QDir(f.cfg.emailPath).entryList(QDir::Files, QDir::Name),
              QStringList({S("DOWN0000.DON"), S("DOWN0001.DON")}));
    EXPECT_FALSE(QFileInfo::exists(att));
    const QList<QJsonObject> got = f.server.messages();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0][S("subject")].toString(), S("first"));
    EXPECT_EQ(Attachment(got[0], 0), QByteArray("attached"));
    EXPECT_EQ(got[1][S("subject")].toString(), S("second"));
}

TEST(SendPassSmtp, MessagePutOffByTheServerStaysAndThePassGoesOn) {
    PassFixture f({S("--defer"), S("busy@example.org")});
    ASSERT_TRUE(f.logOn());
    f.msg(S("BUSY0000.eml"), S("TO=busy@example.org\r\nSUBJ=later\r\n"));
    f.msg(S("BUSY0001.eml"), S("TO=ann@example.org\r\nSUBJ=now\r\n"));
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.waiting, 1);
    EXPECT_EQ(s.sent, 1);
    EXPECT_TRUE(s.serverFault.contains(S("451 4.2.0 <busy@example.org>: Mailbox busy"))) << s.serverFault.toStdString();
    EXPECT_EQ(QDir(f.cfg.emailPath).entryList(QDir::Files, QDir::Name),
              QStringList({S("BUSY0000.eml"), S("BUSY0001.DON")}));
    ASSERT_EQ(f.server.messages().size(), 1);
    EXPECT_EQ(f.server.messages()[0][S("subject")].toString(), S("now"));
}

TEST(SendPassSmtp, DeferredMessageIsSentOnTheFirstPassAtItsMoment) {
    PassFixture f;
    ASSERT_TRUE(f.logOn());
    f.clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 15, 0));
    // As the scheduler names a message deferred by 30 minutes at 10:15.
    f.msg(S("PAYR0000.202612081045.eml"), S("TO=ann@example.org\r\nSUBJ=deferred\r\n"));
    f.msg(S("PAYR0001.202612081045x.eml"), S("TO=ann@example.org\r\nSUBJ=no stamp\r\n"));
    f.msg(S("PAYR0002.202612311260.eml"), S("TO=ann@example.org\r\nSUBJ=bad stamp\r\n"));

    PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.held, 1);
    EXPECT_EQ(s.sent, 2);
    EXPECT_TRUE(f.has(S("PAYR0000.202612081045.eml")));
    EXPECT_TRUE(f.has(S("PAYR0001.202612081045x.DON")));
    EXPECT_TRUE(f.has(S("PAYR0002.202612311260.DON")));

    f.clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 44, 59));
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.held, 1);
    EXPECT_EQ(f.server.messages().size(), 2);

    f.clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 46, 30));
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.sent, 1);
    EXPECT_TRUE(f.has(S("PAYR0000.202612081045.DON")));
    const QList<QJsonObject> got = f.server.messages();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[2][S("subject")].toString(), S("deferred"));
}

}  // namespace
