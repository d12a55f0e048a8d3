#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/mrvemail/smtp_fixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    ResetState();
    JobTableChanged();
    ScriptedPrompter prompts;
    G.gIniFile = dir.write(QStringLiteral("s.ini"), "[Morvenda]\r\nTimerSecs=1\r\n");
    G.gSchedFile = dir.path(QStringLiteral("s.sch"));
    G.gLogFile = dir.path(QStringLiteral("yyyymmdd.log"));
    G.gSchedName = QStringLiteral("MAILTEST");
    G.gEmailPath = dir.path(QStringLiteral("Messages"));
    G.gEmailAddrPath = dir.path(QStringLiteral("Addresses"));
    G.gEmailAttPath = dir.path(QStringLiteral("Attachments"));
    for (const QString& folder : {G.gEmailPath, G.gEmailAddrPath, G.gEmailAttPath}) QDir().mkpath(folder);
    ::chmod(G.gEmailPath.toLocal8Bit().constData(), 0755);
    dir.write(QStringLiteral("Addresses/OPERATOR.adr"), "; the night operator\r\nop@example.org\r\n");
    G.gRunDate = DateVal::currentLocal().datePart();
    G.gCPULimit = 9999;
    G.gMinJobLaunch = 1;
    SetStartTimes();

    JobRec good;
    good.JobName = QStringLiteral("GOOD");
    good.CommandLine = QStringLiteral("/bin/true");
    good.Frequency = QStringLiteral("Daily");
    good.EojTo = QStringLiteral("OPERATOR");
    good.EojMsg = {QStringLiteral("Job completed"), QStringLiteral("Job %JN% ended at %CT%."), QString(), QString(),
                   QString()};
    good.EojFlags = {QString(), QStringLiteral("00000"), QStringLiteral("00000"), QStringLiteral("00000"),
                     QStringLiteral("00000")};
    JobRec bad = good;
    bad.JobName = QStringLiteral("BAD");
    bad.CommandLine = QStringLiteral("/bin/sh -c \"exit 4\"");
    bad.EojTo.clear();
    bad.AbEojTo = QStringLiteral("OPERATOR");
    bad.AbEojMsg = {QStringLiteral("Job failed"), QStringLiteral("Error: %ED%"), QString(), QString(), QString()};
    bad.AbEojFlags = good.EojFlags;
    G.Jobs.push_back(good);
    G.Jobs.push_back(bad);
    JobTableChanged();

    NullExecView view;
    Execution exec(view);
    QElapsedTimer t;
    t.start();
    exec.cmdKick_Click();
    while (t.elapsed() < 20000 && (G.Jobs[1].JobState == jsRunning || G.Jobs[2].JobState == jsRunning)) {
        QThread::msleep(200);
        exec.cmdKick_Click();
    }
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
    QProcess mailer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path(QStringLiteral("config")));
    mailer.setProcessEnvironment(env);
    mailer.start(qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/MRVEmail"), {mailIni});
    ASSERT_TRUE(mailer.waitForStarted(5000));
    QElapsedTimer m;
    m.start();
    while (m.elapsed() < 30000 && server.messages().size() < 2) QThread::msleep(100);
    QThread::msleep(300);  // the renames follow the sending
    mailer.kill();
    mailer.waitForFinished(5000);

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
    JobTableChanged();
}

}  // namespace
