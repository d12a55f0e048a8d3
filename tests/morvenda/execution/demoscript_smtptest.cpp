#include "morvenda/execution/execution.h"

#include "common/clock.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "morvenda/startup/startup.h"
#include "tests/support/demorun.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringListModel>

#include <gtest/gtest.h>

// The demo as a newcomer starts it: scripts/demo prepares a copy of the demo
// installation, starts the local SMTP server and the e-mailer on it; the
// test runs the copy's schedule until "Schedule Completed" and reads the
// end-of-job e-mail back from the folder where the server keeps its mail.

namespace {

TEST(DemoScript, RunsTheDayToItsCompletionAndTheMailArrives) {
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString run = dir.path(S("run"));

    // The script, as the demo runs it but for the scheduler; an absolute
    // build folder, and no runtime folder in the environment.
    const std::unique_ptr<QProcess> started =
        StartProgram(qEnvironmentVariable("MRV_TEST_SOURCE_DIR") + S("/scripts/demo"), {S("--no-scheduler")},
                     {{"MRV_BUILD_DIR", QDir(qEnvironmentVariable("MRV_BUILD_DIR")).absolutePath()},
                      {"MRV_DEMO_RUN_DIR", run},
                      {"QT_QPA_PLATFORM", S("offscreen")},
                      {"XDG_RUNTIME_DIR", QString()}},
                     QProcess::MergedChannels);
    QProcess& script = *started;
    ASSERT_EQ(script.state(), QProcess::Running);
    QByteArray said;
    QElapsedTimer t;
    t.start();
    while (!said.contains("Ready.") && t.elapsed() < 30000 && script.state() == QProcess::Running) {
        script.waitForReadyRead(200);
        said += script.readAll();
    }
    ASSERT_TRUE(said.contains("Ready.")) << said.toStdString();
    EXPECT_TRUE(QFileInfo(run + S("/.runtime")).isDir());

    ResetState();
    const QDateTime real = QDateTime::currentDateTime();
    FakeClock clock(DateVal::fromDateTime(real.date().year(), real.date().month(), real.date().day(),
                                          real.time().hour(), real.time().minute(), real.time().second()));
    ScriptedPrompter prompts;
    StartDemo(run);
    ASSERT_EQ(JobCount(), 10);
    // NIGHTLY is due a few minutes from now, not at night.
    const JobRec& nightly = Job(FindJob(S("NIGHTLY")));
    const qint64 dueIn =
        (ParseDate(nightly.EarlyStartText).value_or(DateVal()).secondsOfDay() - Now().secondsOfDay() + 86400) % 86400;
    EXPECT_GT(dueIn, 60);
    EXPECT_LE(dueIn, 240);
    // A dummy run of the demo ends by itself: each dummy job has a run time.
    EXPECT_TRUE(G.gDummyModel.contains(S(",RFS=10"))) << G.gDummyModel.toStdString();

    QStringListModel progress;
    G.ProgList = &progress;
    // A pass every 200 ms of real time, each five seconds of schedule time.
    KickUntil(clock, 5, 120000, [] { return G.gSchedComplete; });
    EXPECT_TRUE(G.gSchedComplete);
    EXPECT_EQ(progress.stringList().filter(S("Schedule Completed at ")).size(), 1);
    G.ProgList = nullptr;

    // The e-mailer sends REPORT's message; the server keeps it under Mail.
    QStringList mail;
    PollUntil(
        [&] {
            return !(mail = QDir(run + S("/Mail")).entryList({S("msg-*.json")}, QDir::Files, QDir::Name)).isEmpty();
        },
        30000, 200);
    ASSERT_EQ(mail.size(), 1) << said.toStdString();
    QFile json(run + S("/Mail/") + mail[0]);
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject m = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(m[S("subject")].toString(), S("Demo: job REPORT has ended"));
    EXPECT_EQ(m[S("to")].toString(), S("operator@localhost"));
    EXPECT_TRUE(m[S("body")].toString().contains(S("Job REPORT completed at")))
        << m[S("body")].toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(run + S("/Mail/msg-0001.eml")));

    // Stopping the script stops the server and the e-mailer with it.
    script.terminate();
    EXPECT_TRUE(script.waitForFinished(10000));
    ResetState();
}

}  // namespace
