#include "mrvemail/sendpass.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

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
    EXPECT_EQ(SentFileName(S("/m/ABxx0000.eml")), S("/m/ABxx0000.DON"));
    EXPECT_EQ(SentFileName(S("/m/PAYR0000.202612081045.eml")), S("/m/PAYR0000.202612081045.DON"));
    EXPECT_EQ(ErrorBase(S("/m/PAYR0000.202612081045.eml")), S("/m/PAYR0000"));
    // A dot in a folder name never moves the error file elsewhere.
    EXPECT_EQ(ErrorBase(S("/home/op/.morvenda/Messages/ABxx0000.eml")), S("/home/op/.morvenda/Messages/ABxx0000"));
    EXPECT_EQ(ErrorFilesText(0, S("/m")), QString());
    EXPECT_EQ(ErrorFilesText(2, S("/m")), S("2 error files in /m"));

    TempDir dir;
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.ERR")));
    dir.write(S("A.ERR"), "x");
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.2.ERR")));
    dir.write(S("A.2.ERR"), "x");
    EXPECT_EQ(FreeFileName(dir.path(S("A.ERR"))), dir.path(S("A.3.ERR")));
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

TEST(SendPass, ErrorNamesNeverReplaceEachOther) {
    FakeClock clock;
    Folder f(S("my.mail/Messages"));
    // Two deferred messages of one job share everything up to their first dot.
    f.write(S("PAYR0000.202612081045.eml"), "BAD LINE\r\n");
    f.write(S("PAYR0000.202612081115.eml"), "TO=nobody\r\n");
    f.write(S("PAYR0000.ERR"), "an older error file\r\n");
    const PassSummary s = RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_EQ(s.errors, 2);
    EXPECT_EQ(s.errorFiles, 3);
    EXPECT_EQ(f.read(S("PAYR0000.ERR")), S("an older error file\r\n"));
    EXPECT_EQ(f.read(S("PAYR0000.2.ERR")), S("BAD LINE\r\n"));
    EXPECT_EQ(f.read(S("PAYR0000.3.ERR")), S("TO=nobody\r\n"));
    const QStringList log = f.read(S("PAYR0000LOG")).split(S("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[0].endsWith(S("PAYR0000.202612081045.eml:  ")));
    EXPECT_EQ(log[1], S("Invalid command at line 1"));
    EXPECT_EQ(log[3], S("Invalid Addressee at line 1"));
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

TEST(SendPass, SendFailureIsAnErrorOfTheMessage) {
    FakeClock clock;
    Folder f;
    f.write(S("M.eml"), "TO=a@example.org\r\nBODY=hi\r\n");
    RunSendPass(f.cfg, f.mail, f.state);
    EXPECT_TRUE(f.has(S("M.ERR")));
    EXPECT_TRUE(f.read(S("MLOG")).contains(S("\r\nSend failed: The mail session is not logged on")));
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

}  // namespace
