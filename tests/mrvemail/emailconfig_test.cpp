#include "mrvemail/emailconfig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "common/ini.h"
#include "common/settings.h"
#include "tests/support/companiontests.h"
#include "tests/support/testing.h"

namespace {

TEST(EmailConfig, KickIntervalIsClamped) {
    const std::pair<const char*, int> cases[] = {
        {"0", 60}, {"90", 60}, {"61", 60}, {"3", 5}, {"-3", 5}, {"abc", 60}, {"", 60}, {"5", 5}, {"30", 30}, {"60", 60},
    };
    for (const auto& [text, secs] : cases) EXPECT_EQ(ClampKickInterval(S(text)), secs) << text;
}

TEST(EmailConfig, DateFormatMustProduceADate) {
    FakeClock clock;
    const std::pair<const char*, const char*> cases[] = {
        {"", "dd mmm yyyy"},          {"dd mmm yyyy", "dd mmm yyyy"}, {"mmm d yyyy", "mmm d yyyy"},
        {"yyyy-mm-dd", "yyyy-mm-dd"}, {"hello", "dd mmm yyyy"},       {"q", "dd mmm yyyy"},
    };
    for (const auto& [format, used] : cases) EXPECT_EQ(CheckedDateFormat(S(format)), S(used)) << format;
}

TEST(EmailConfig, LoadChecksTheMessagesFolder) {
    TempDir dir;
    const QString messages = dir.path(QStringLiteral("Messages"));
    QDir().mkpath(messages);
    const QString ini = dir.path(QStringLiteral("MRVEmail.ini"));

    EmailConfig c;
    dir.write(QStringLiteral("MRVEmail.ini"), "[MRVEmail]\r\nKickInterval=10\r\n");
    EXPECT_EQ(LoadEmailConfig(ini, &c), S("No email file directory (\"EmailPath\") specified in \"%1\"").arg(ini));
    dir.write(QStringLiteral("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + dir.path(S("nowhere")).toUtf8() + "\r\n");
    EXPECT_EQ(LoadEmailConfig(ini, &c),
              S("The \"EmailPath\" specified in \"%1\" is not a valid drive/directory.").arg(ini));
    dir.write(QStringLiteral("file"), "x");
    dir.write(QStringLiteral("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + dir.path(S("file")).toUtf8() + "\r\n");
    EXPECT_TRUE(LoadEmailConfig(ini, &c).has_value());
    EXPECT_TRUE(c.iniFile.isEmpty()) << "a failed load leaves the configuration alone";

    dir.write(QStringLiteral("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + messages.toUtf8() +
                                                  "/\r\nKickInterval=3\r\nDeleteAfter=7\r\nDateFormat=yyyy-mm-dd\r\n"
                                                  "ProfileName=Office\r\n");
    ASSERT_FALSE(LoadEmailConfig(ini, &c).has_value());
    EXPECT_EQ(c.iniFile, ini);
    EXPECT_EQ(c.emailPath, messages);
    EXPECT_EQ(c.kickInterval, 5);
    EXPECT_EQ(c.deleteAfter, 7);
    EXPECT_EQ(c.dateFormat, S("yyyy-mm-dd"));
    EXPECT_EQ(c.profileName, S("Office"));
    EXPECT_FALSE(c.left.has_value());

    ASSERT_TRUE(SaveWindowPosition(ini, 9000, 4500));
    ASSERT_FALSE(LoadEmailConfig(ini, &c).has_value());
    EXPECT_EQ(c.left, 9000);
    EXPECT_EQ(c.top, 4500);
    EXPECT_EQ(IniGet(S("MRVEmail"), S("ProfileName"), ini), S("Office")) << "other keys are kept";
}

TEST(EmailConfig, KeysAreClampedAsRead) {
    TempDir dir;
    const QString messages = dir.path(S("Messages"));
    QDir().mkpath(messages);
    const QString ini = dir.path(S("MRVEmail.ini"));
    struct Case {
        const char* kick;
        const char* keep;
        const char* format;
        int kickSecs;
        int keepDays;
        const char* formatUsed;
    };
    const Case cases[] = {
        {"", "", "", 60, 0, "dd mmm yyyy"},
        {"0", "0", "yyyy-mm-dd", 60, 0, "yyyy-mm-dd"},
        {"90", "-4", "nonsense", 60, 0, "dd mmm yyyy"},
        {"3", "abc", "d mmm yy", 5, 0, "d mmm yy"},
        {"45", "14", "dd/mm/yyyy", 45, 14, "dd/mm/yyyy"},
        {"12 seconds", "3 days", "mmmm d, yyyy", 12, 3, "mmmm d, yyyy"},
    };
    for (const Case& c : cases) {
        dir.write(S("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + messages.toUtf8() + "\r\nKickInterval=" + c.kick +
                                         "\r\nDeleteAfter=" + c.keep + "\r\nDateFormat=" + c.format + "\r\n");
        EmailConfig cfg;
        ASSERT_FALSE(LoadEmailConfig(ini, &cfg).has_value()) << c.kick;
        EXPECT_EQ(cfg.kickInterval, c.kickSecs) << c.kick;
        EXPECT_EQ(cfg.deleteAfter, c.keepDays) << c.keep;
        EXPECT_EQ(cfg.dateFormat, S(c.formatUsed)) << c.format;
    }
}

TEST(EmailConfig, MessagesFolderWritableByEveryoneIsRefused) {
    TempDir dir;
    const QString messages = dir.path(S("Messages"));
    QDir().mkpath(messages);
    const QString ini =
        dir.write(S("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + messages.toUtf8() + "\r\nKickInterval=10\r\n");
    const QString refusal =
        S("The \"EmailPath\" folder \"%1\" specified in \"%2\" can be written by every user of this computer, so "
          "any of them could make MRVEmail mail out or delete its files. Remove that permission (chmod o-w \"%1\") "
          "and start MRVEmail again.")
            .arg(messages, ini);
    const std::pair<mode_t, bool> modes[] = {
        {0777, true},  {01777, true}, {0703, true},   {0702, true},  {0700, false},
        {0755, false}, {0775, false}, {01775, false}, {0770, false},
    };
    for (const auto& [mode, refused] : modes) {
        ASSERT_EQ(::chmod(QFile::encodeName(messages).constData(), mode), 0);
        EmailConfig cfg;
        EXPECT_EQ(LoadEmailConfig(ini, &cfg), refused ? std::optional<QString>(refusal) : std::nullopt)
            << std::oct << mode;
        EXPECT_EQ(cfg.kickInterval, refused ? 60 : 10) << "a refused folder leaves the configuration alone";
    }
    // A link to such a folder is judged by the folder.
    ASSERT_EQ(::chmod(QFile::encodeName(messages).constData(), 0777), 0);
    ASSERT_TRUE(QFile::link(messages, dir.path(S("link"))));
    dir.write(S("MRVEmail.ini"), "[MRVEmail]\r\nEmailPath=" + dir.path(S("link")).toUtf8() + "\r\n");
    EmailConfig cfg;
    EXPECT_TRUE(LoadEmailConfig(ini, &cfg).has_value());
}

TEST(EmailConfig, FileIsFoundInOrderOfPlaces) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path(QStringLiteral("config")).toUtf8());
    const QString program = dir.path(QStringLiteral("bin/MRVEmail"));
    const QString beside = dir.write(QStringLiteral("bin/MRVEmail.ini"), "[MRVEmail]\r\n");
    const QString named = dir.write(QStringLiteral("named ini/mine.ini"), "[MRVEmail]\r\n");
    const QString registered = dir.write(QStringLiteral("reg.ini"), "[MRVEmail]\r\n");
    ASSERT_TRUE(SaveSetting(S("Morvenda"), S("@General"), S("MRVEmailIni"), registered));

    EXPECT_EQ(FindEmailIni(named, program), named);
    EXPECT_EQ(FindEmailIni(S("\"") + named + S("\" "), program), named);
    EXPECT_EQ(FindEmailIni(dir.path(QStringLiteral("missing.ini")), program), beside);
    QFile::remove(beside);
    EXPECT_EQ(FindEmailIni(QString(), program), registered);
    QFile::remove(registered);
    EXPECT_EQ(FindEmailIni(QString(), program), QString());
}

TEST(EmailConfig, SearchIsOfferedUntilAFileIsChosenOrDeclined) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path(QStringLiteral("config")).toUtf8());
    const QString program = dir.path(QStringLiteral("bin/MRVEmail"));
    const QString question =
        S("MRVEmail cannot find the path/name of an Ini file in any of the following locations:\n\n"
          "         in the command line as a single command line parameter\n"
          "         in the same directory as the current program (%1/bin/MRVEmail.ini)\n"
          "         in the Morvenda part of the registry (set up by MRVGenie)\n\n"
          "Do you want to search for the file?")
            .arg(dir.path());
    EXPECT_EQ(EmailIniSearchQuestion(program), question);

    ScriptedPrompter prompts;
    QStringList chooserFolders;
    int calls = 0;
    auto chooser = [&](const QString& folder) {
        chooserFolders << folder;
        return ++calls < 2 ? QString() : S("/chosen/MRVEmail.ini");
    };
    NextAnswers(prompts, {MsgAnswer::Yes, MsgAnswer::Yes});
    EXPECT_EQ(LocateEmailIni(QString(), program, chooser), S("/chosen/MRVEmail.ini"));
    EXPECT_EQ(prompts.messages, QStringList({question, question}));
    EXPECT_EQ(chooserFolders.first(), dir.path(QStringLiteral("bin")));

    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_EQ(LocateEmailIni(QString(), program, chooser), QString());
    EXPECT_EQ(calls, 2) << "No ends the search without the chooser";
}

TEST(EmailConfig, MailServerKeysAndProfiles) {
    TempDir dir;
    const QString ini = dir.write(QStringLiteral("MRVEmail.ini"),
                                  "[MRVEmail]\r\nEmailPath=/tmp\r\nSmtpServer=mail.example.org\r\nSmtpPort=2525\r\n"
                                  "SmtpUser=ops\r\nSmtpPassword=secret\r\n"
                                  "[Office]\r\nSmtpServer=smtp.office.example\r\nSmtpTls=STARTTLS\r\n"
                                  "SmtpFrom=Jobs <jobs@office.example>\r\n"
                                  "[Secure]\r\nSmtpTls=ssl\r\nSmtpPort=\r\n"
                                  "[BadTls]\r\nSmtpTls=maybe\r\n"
                                  "[BadPort]\r\nSmtpPort=99999\r\n");
    QString why;
    std::optional<SmtpSettings> s = ReadSmtpSettings(ini, QString(), &why);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->server, S("mail.example.org"));
    EXPECT_EQ(s->port, 2525);
    EXPECT_EQ(s->tls, SmtpTls::None);
    EXPECT_EQ(s->from, DefaultSender());
    EXPECT_EQ(s->user, S("ops"));
    EXPECT_EQ(s->password, S("secret"));

    s = ReadSmtpSettings(ini, S("Office"), &why);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->server, S("smtp.office.example"));
    EXPECT_EQ(s->port, 2525) << "a key missing in the profile comes from the main section";
    EXPECT_EQ(s->tls, SmtpTls::StartTls);
    EXPECT_EQ(s->from, S("Jobs <jobs@office.example>"));

    s = ReadSmtpSettings(ini, S("Secure"), &why);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->tls, SmtpTls::Ssl);
    EXPECT_EQ(s->port, 2525);

    const QString bare = dir.write(QStringLiteral("bare.ini"), "[MRVEmail]\r\nSmtpTls=ssl\r\n");
    s = ReadSmtpSettings(bare, QString(), &why);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->server, S("localhost"));
    EXPECT_EQ(s->port, 465);

    EXPECT_FALSE(ReadSmtpSettings(ini, S("Nowhere"), &why));
    EXPECT_EQ(why, S("The mail profile \"Nowhere\" has no section [Nowhere] in \"%1\"").arg(ini));
    EXPECT_FALSE(ReadSmtpSettings(ini, S("BadTls"), &why));
    EXPECT_TRUE(why.contains(S("maybe")));
    EXPECT_FALSE(ReadSmtpSettings(ini, S("BadPort"), &why));
    EXPECT_TRUE(why.contains(S("99999")));
}

TEST(EmailConfig, OldSentFilesAreDeletedByAge) {
    TempDir dir;
    const DateVal today = DateVal::fromDateTime(2026, 12, 8, 10, 0, 0);
    struct File {
        const char* name;
        int daysOld;
        bool deletedAt3;
    };
    const File files[] = {
        {"A.DON", 3, true}, {"B.DON", 2, false}, {"C.don", 10, true}, {"D.ERR", 10, false}, {"E.eml", 10, false},
    };
    auto make = [&] {
        for (const File& f : files) {
            QFile file(dir.write(S(f.name), "x"));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            // Late in the day, so whole calendar days count, not 24-hour spans.
            const QDateTime when = today.addDays(-f.daysOld).datePart().addSeconds(23 * 3600).toQDateTime();
            ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
        }
    };
    make();
    EXPECT_EQ(DeleteOldSentFiles(dir.path(), 0, today), 0);
    EXPECT_EQ(DeleteOldSentFiles(dir.path(), 3, today), 2);
    for (const File& f : files) EXPECT_EQ(QFileInfo::exists(dir.path(S(f.name))), !f.deletedAt3) << f.name;
}

}  // namespace
