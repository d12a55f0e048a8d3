#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/mrvemail/smtp_fixture.h"
#include "tests/support/messagefolders.h"
#include "tests/support/programs.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

// End to end: a real run of a schedule writes the end-of-job messages of a
// job that completes and of one that fails, and the real e-mailer program
// sends them to a real SMTP server, which the test reads back.

namespace {

TEST(EndOfJobMail, MessagesOfARunAreSentByTheMailer) {
    SmtpServer server;
    ASSERT_TRUE(server.started());
    TempDir dir;
    UseTempScheduler(dir);
    ScriptedPrompter prompts;
    UseMessageFolders(dir);
    G.gSchedName = S("MAILTEST");
    ::chmod(G.gEmailPath.toLocal8Bit().constData(), 0755);
    dir.write(S("books/OPERATOR.adr"), "; the night operator\r\nop@example.org\r\n");
    G.gRunDate = DateVal::currentLocal().datePart();
    G.gMinJobLaunch = 1;
    SetStartTimes();

    JobRec& good = Job(AddJob(S("GOOD"), S("/bin/true")));
    good.EojTo = S("OPERATOR");
    good.EojMsg = {S("Job completed"), S("Job %JN% ended at %CT%."), QString(), QString(), QString()};
    good.EojFlags = {QString(), S("00000"), S("00000"), S("00000"), S("00000")};
    JobRec bad = good;
    bad.JobName = S("BAD");
    bad.CommandLine = S("/bin/sh -c \"exit 4\"");
    bad.EojTo.clear();
    bad.AbEojTo = S("OPERATOR");
    bad.AbEojMsg = {S("Job failed"), S("Error: %ED%"), QString(), QString(), QString()};
    bad.AbEojFlags = good.EojFlags;
    G.Jobs.push_back(bad);

    NullExecView view;
    Execution exec(view);
    exec.cmdKick_Click();
    PollUntil(
        [&] {
            exec.cmdKick_Click();
            return G.Jobs[1].JobState != jsRunning && G.Jobs[2].JobState != jsRunning;
        },
        20000, 200);
    ASSERT_EQ(G.Jobs[1].JobState, jsCompleted);
    ASSERT_EQ(G.Jobs[2].JobState, jsAborted);
    ASSERT_EQ(QDir(G.gEmailPath).entryList({QStringLiteral("*.eml")}, QDir::Files).size(), 2);

    const QString mailIni =
        dir.write(QStringLiteral("MRVEmail.ini"),
                  QStringLiteral("[MRVEmail]\r\nEmailPath=%1\r\nKickInterval=5\r\n"
                                 "SmtpServer=127.0.0.1\r\nSmtpPort=%2\r\nSmtpFrom=morvenda@example.org\r\n")
                      .arg(G.gEmailPath)
                      .arg(server.port())
                      .toUtf8());
    const std::unique_ptr<QProcess> mailer =
        StartProgram(BuiltProgram("MRVEmail"), {mailIni},
                     {{"QT_QPA_PLATFORM", S("offscreen")}, {"XDG_CONFIG_HOME", dir.path(S("config"))}});
    ASSERT_EQ(mailer->state(), QProcess::Running);
    PollUntil([&] { return server.messages().size() >= 2; }, 30000);
    QThread::msleep(300);  // the renames follow the sending
    mailer->kill();
    mailer->waitForFinished(5000);

    const QList<QJsonObject> sent = server.messages();
    ASSERT_EQ(sent.size(), 2);
    QStringList subjects;
    for (const QJsonObject& msg : sent) {
        subjects << msg.value(QStringLiteral("subject")).toString();
        EXPECT_EQ(msg.value(QStringLiteral("to")).toString(), QStringLiteral("op@example.org"));
    }
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{QStringLiteral("Job completed"), QStringLiteral("Job failed")}));
    for (const QJsonObject& msg : sent) {
        const QString body = msg.value(QStringLiteral("body")).toString();
        if (msg.value(QStringLiteral("subject")).toString() == QLatin1String("Job failed")) {
            EXPECT_TRUE(body.contains(QLatin1String("Error: Exit code 4"))) << body.toStdString();
        } else {
            EXPECT_TRUE(body.contains(QLatin1String("Job GOOD ended at "))) << body.toStdString();
        }
    }
    EXPECT_EQ(QDir(G.gEmailPath).entryList({QStringLiteral("*.DON")}, QDir::Files).size(), 2);
    ResetState();
}

}  // namespace
