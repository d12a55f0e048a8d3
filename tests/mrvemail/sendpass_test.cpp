#include "mrvemail/sendpass.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include "tests/support/testing.h"

namespace {

// A messages folder with a configuration for it; the mail session is never
// logged on, so a message that reached the sending step would end in error.
struct Folder {
    TempDir dir;
    EmailConfig cfg;
    MailSession mail;
    SendPassState state;
    explicit Folder(const QString& sub = S("Messages")) {
        cfg.emailPath = dir.path(sub);
        QDir().mkpath(cfg.emailPath);
    }
    QString write(const QString& name, const QByteArray& text) {
        return dir.write(path(name).mid(dir.path().size() + 1), text);
    }
    QString path(const QString& name) const { return cfg.emailPath + QLatin1Char('/') + name; }
    bool has(const QString& name) const { return QFileInfo::exists(path(name)); }
    QString read(const QString& name) const { return QString::fromUtf8(dir.read(path(name))); }
    QStringList files() const { return QDir(cfg.emailPath).entryList(QDir::Files, QDir::Name); }
};

TEST(SendPass, OutcomeNames) {
    struct Case {
        const char* message;
        const char* sent;
        const char* error;
        const char* log;
    };
    const Case cases[] = {
        {"/m/ABxx0000.eml", "/m/ABxx0000.DON", "/m/ABxx0000.ERR", "/m/ABxx0000LOG"},
        {"/m/ABxx0000.EML", "/m/ABxx0000.DON", "/m/ABxx0000.ERR", "/m/ABxx0000LOG"},
        // A deferred message keeps its stamp, so two of one job never meet.
        {"/m/PAYR0000.202612081045.eml", "/m/PAYR0000.202612081045.DON", "/m/PAYR0000.202612081045.ERR",
         "/m/PAYR0000.202612081045LOG"},
        // Dots in folder names stay where they are.
        {"/home/first.last/.morvenda/ABxx0000.eml", "/home/first.last/.morvenda/ABxx0000.DON",
         "/home/first.last/.morvenda/ABxx0000.ERR", "/home/first.last/.morvenda/ABxx0000LOG"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SentFileName(S(c.message)), S(c.sent));
        EXPECT_EQ(ErrorFileName(S(c.message)), S(c.error));
        EXPECT_EQ(ErrorLogName(S(c.message)), S(c.log));
    }
    EXPECT_EQ(ErrorFilesText(0, S("/m")), QString());
    EXPECT_EQ(ErrorFilesText(2, S("/m")), S("2 error files in /m"));

    TempDir dir;
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.ERR")));
    dir.write(S("A.ERR"), "x");
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.2.ERR")));
    dir.write(S("A.2.ERR"), "x");
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.3.ERR")));
}

TEST(SendPass, DeferralStampsInNames) {
    const std::pair<const char*, DateVal> cases[] = {
        {"/m/PAYR0000.202612081045.eml", DateVal::fromDateTime(2026, 12, 8, 10, 45, 0)},
        {"/m/A.Bx0000.202902282359.EML", DateVal::fromDateTime(2029, 2, 28, 23, 59, 0)},
        {"/m/LEAP0000.202802291200.eml", DateVal::fromDateTime(2028, 2, 29, 12, 0, 0)},
        // No stamp, or one that is no date and time: not deferred.
        {"/m/PAYR0000.eml", DateVal()},
        {"/m/202612081045.eml", DateVal()},
        {"/m/PAYR0000.202612081045.2.eml", DateVal()},
        {"/m/PAYR0000.20261208104.eml", DateVal()},
        {"/m/PAYR0000.2026120810450.eml", DateVal()},
        {"/m/PAYR0000.2026120810x5.eml", DateVal()},
        {"/m/PAYR0000.202613081045.eml", DateVal()},
        {"/m/PAYR0000.202702291045.eml", DateVal()},
        {"/m/PAYR0000.202612082400.eml", DateVal()},
        {"/m/PAYR0000.202612081060.eml", DateVal()},
        {"/m/PAYR0000.+20612081045.eml", DateVal()},
        {"/a.202612081045/PAYR0000.eml", DateVal()},
    };
    for (const auto& [name, until] : cases) EXPECT_EQ(DeferredUntil(S(name)).value_or(DateVal()), until) << name;
}

TEST(SendPass, DeferredMessageWaitsForItsMoment) {
    FakeClock clock;  // 8 Dec 2026 10:00
    Folder f;
    // Broken on purpose: handled, they end as error files without a server.
    f.write(S("LATE0000.202612081030.eml"), "garbage\r\n");
    f.write(S("PAST0000.202612080959.eml"), "garbage\r\n");
    f.write(S("BADS0000.202612321030.eml"), "garbage\r\n");
    PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.held, 1);
    EXPECT_EQ(s.errors, 2);
    EXPECT_TRUE(f.has(S("LATE0000.202612081030.eml")));
    EXPECT_TRUE(f.has(S("PAST0000.202612080959.ERR")));
    EXPECT_TRUE(f.has(S("BADS0000.202612321030.ERR"))) << "a stamp that is no date is no deferral";
    EXPECT_FALSE(f.has(S("LATE0000.202612081030LOG"))) << "a held file is not read";

    clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 29, 59));
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.held, 1);
    EXPECT_TRUE(f.has(S("LATE0000.202612081030.eml")));

    clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 30, 0));
    s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.held, 0);
    EXPECT_EQ(s.errors, 1);
    EXPECT_TRUE(f.has(S("LATE0000.202612081030.ERR")));
    EXPECT_TRUE(f.read(S("LATE0000.202612081030LOG")).contains(S("Invalid command at line 1")));
}

TEST(SendPass, MessageWithErrorsEndsAsErrorFileWithLogLine) {
    FakeClock clock;
    Folder f;
    f.cfg.dateFormat = S("dd mmm yyyy");
    f.write(S("ABxx0000.eml"), "TO=Could not generate email address for BOB.\r\nSUBJ=x\r\nBODY=y\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.errors, 1);
    EXPECT_EQ(s.errorFiles, 1);
    EXPECT_EQ(f.files(), QStringList({S("ABxx0000.ERR"), S("ABxx0000LOG")}));
    EXPECT_EQ(f.read(S("ABxx0000LOG")),
              S("08 Dec 2026 10:00 %1:  \r\nInvalid Addressee at line 1\r\n").arg(f.path(S("ABxx0000.eml"))));
}

TEST(SendPass, ErrorNamesStayInTheFolderAndApart) {
    FakeClock clock;
    Folder f(S("first.last/Messages"));
    // Two deferred messages of one job, both due: each keeps its own names.
    f.write(S("PAYR0000.202612080945.eml"), "BAD LINE\r\n");
    f.write(S("PAYR0000.202612081000.eml"), "TO=nobody\r\n");
    // A namesake's error file from before is never replaced.
    f.write(S("PAYR0000.202612081000.ERR"), "an older error file\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.errors, 2);
    EXPECT_EQ(s.errorFiles, 3);
    EXPECT_EQ(f.files(), QStringList({S("PAYR0000.202612080945.ERR"), S("PAYR0000.202612080945LOG"),
                                      S("PAYR0000.202612081000.2.ERR"), S("PAYR0000.202612081000.ERR"),
                                      S("PAYR0000.202612081000LOG")}));
    EXPECT_EQ(f.read(S("PAYR0000.202612080945.ERR")), S("BAD LINE\r\n"));
    EXPECT_EQ(f.read(S("PAYR0000.202612081000.ERR")), S("an older error file\r\n"));
    EXPECT_EQ(f.read(S("PAYR0000.202612081000.2.ERR")), S("TO=nobody\r\n"));
    EXPECT_EQ(
        f.read(S("PAYR0000.202612080945LOG")),
        S("08 Dec 2026 10:00 %1:  \r\nInvalid command at line 1\r\n").arg(f.path(S("PAYR0000.202612080945.eml"))));
    EXPECT_EQ(
        f.read(S("PAYR0000.202612081000LOG")),
        S("08 Dec 2026 10:00 %1:  \r\nInvalid Addressee at line 1\r\n").arg(f.path(S("PAYR0000.202612081000.eml"))));
    // Nothing landed beside the dotted folder.
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QDir(f.dir.path(S("first.last"))).entryList(QDir::Files), QStringList());
}

TEST(SendPass, MessageWithoutDataIsNotSentAndEndsAsSent) {
    Folder f;
    f.write(S("a.eml"), "TO=a@example.org\r\nATT=" + f.dir.path(S("gone.txt")).toUtf8() + ",NOF=SILENT\r\n");
    f.write(S("b.eml"), "TO=a@example.org\r\nEMB=" + f.dir.path(S("none*.log")).toUtf8() + ",NOF=S\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.notSent, 2);
    EXPECT_EQ(s.errors, 0);
    EXPECT_EQ(f.files(), QStringList({S("a.DON"), S("b.DON")}));
}

TEST(SendPass, MessagesWaitWhileTheSessionCannotSend) {
    Folder f;
    const QString att = f.write(S("report.txt"), "r");
    f.write(S("M.eml"), "TO=a@example.org\r\nBODY=hi\r\nATT=" + att.toUtf8() + ",DEL=YES\r\n");
    f.write(S("N.eml"), "TO=b@example.org\r\nBODY=ho\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.waiting, 1) << "the pass ends at the first message the server cannot take";
    EXPECT_EQ(s.errors, 0);
    EXPECT_EQ(s.serverFault, S("The mail session is not logged on"));
    EXPECT_EQ(f.files(), QStringList({S("M.eml"), S("N.eml"), S("report.txt")}));
}

TEST(SendPass, UpperCaseExtensionsCount) {
    Folder f;
    f.write(S("X.EML"), "garbage\r\n");
    f.write(S("Y.err"), "old\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.errors, 1);
    EXPECT_EQ(s.errorFiles, 2);
}

TEST(SendPass, FailedRenameIsLoggedOnceAndRetriedOnLaterPasses) {
    FakeClock clock;
    Folder f;
    f.write(S("R.eml"), "garbage\r\n");
    int calls = 0;
    bool fail = true;
    SendPassHooks hooks;
    hooks.rename = [&](const QString& from, const QString& to, QString* error) {
        ++calls;
        if (fail) {
            if (error) *error = S("Permission denied");
            return false;
        }
        return QFile::rename(from, to);
    };
    // The file stays in the folder, yet the pass ends after one try.
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(f.has(S("R.eml")));
    const QString log = f.read(S("RLOG"));
    EXPECT_TRUE(log.contains(S("\r\nInvalid command at line 1\r\nThe message file could not be renamed to %1: "
                               "Permission denied")
                                 .arg(f.path(S("R.ERR")))))
        << log.toStdString();

    RunSendPass(f.cfg, f.mail, f.state, hooks);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(f.read(S("RLOG")), log) << "a pending rename is not logged again";

    fail = false;
    RunSendPass(f.cfg, f.mail, f.state, hooks);
    EXPECT_EQ(f.files(), QStringList({S("R.ERR"), S("RLOG")}));
    EXPECT_TRUE(f.state.pending.isEmpty());
}

TEST(SendPass, SentFilesAreDeletedOrMarkedInDevelopment) {
    TempDir dir;
    QDir().mkpath(dir.path(S("v1.2")));
    const QString a = dir.write(S("v1.2/REPORT.TXT"), "a");
    const QString b = dir.write(S("b.log"), "b");
    {
        ScopedEnv dev("MRV_DEVELOPMENT", "1");
        DeleteSentFiles({a, b});
    }
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(dir.path(S("v1.2/REPORTDEL"))));
    EXPECT_TRUE(QFileInfo::exists(dir.path(S("bDEL"))));
    {
        ScopedEnv dev("MRV_DEVELOPMENT", "0");
        DeleteSentFiles({dir.path(S("bDEL")), dir.path(S("missing"))});
    }
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("bDEL"))));
}

// A stop between the rename to ".DON" and the deletion of the files left
// them: the next session's first pass deletes what the sent message asked
// for, but neither a file of that name made since nor the files of a message
// that was not sent.
TEST(SendPass, FilesOfASentMessageLeftByAStopGoAtTheNextPass) {
    Folder f;
    const QString left = f.dir.write(S("att/REPORT.TXT"), "sent, not deleted");
    const QString embedded = f.dir.write(S("att/run.log"), "embedded");
    const QString empty = f.dir.write(S("att/empty.log"), "");
    f.write(S("SENT0000.eml"), QStringLiteral("TO=a@example.org\r\nATT=%1,DEL=YES\r\nEMB=%2,DEL=YES\r\n"
                                              "ATT=%3/att/NEW.TXT,DEL=YES,NOF=S\r\n")
                                   .arg(left, embedded, f.dir.path())
                                   .toUtf8());
    f.write(S("NONE0000.eml"), QStringLiteral("TO=a@example.org\r\nEMB=%1,DEL=YES,EMPTY=S\r\n").arg(empty).toUtf8());
    for (const char* m : {"SENT0000", "NONE0000"})
        ASSERT_TRUE(QFile::rename(f.path(S(m) + S(".eml")), f.path(S(m) + S(".DON"))));
    QThread::msleep(30);
    const QString later = f.dir.write(S("att/NEW.TXT"), "a new file of the name");

    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.sent + s.errors + s.notSent, 0);
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_FALSE(QFileInfo::exists(embedded));
    EXPECT_TRUE(QFileInfo::exists(later));
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_EQ(f.files(), (QStringList{S("NONE0000.DON"), S("SENT0000.DON")}));
}

}  // namespace
