#include "common/datetime.h"
#include "common/ini.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "platform/x11.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

// The real scheduler on a real X server, its clock (and its keepers' and
// jobs') shifted by libfaketime to just before midnight: a job that runs past
// midnight and the job after it run again for the next run date.

namespace {

const char* const kFakeTime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

TEST(OverrunOnX, JobsThatEndAfterMidnightRunAgainForTheNextRunDate) {
    if (!QFileInfo::exists(QString::fromLatin1(kFakeTime))) GTEST_SKIP() << "libfaketime is not installed";
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.ok()) << xvfb.error().toStdString();
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString programs = qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin");
    // The bundled demo installation, with a schedule of two jobs.

    InstallDemo(dir);
    const QString ini = dir.path(S("DEMO/DEMO.ini"));
    for (const auto& [key, value] : {std::pair{"TimerSecs", "1"}, {"MinJobLaunch", "1"}})
        IniPut(S("Morvenda"), S(key), S(value), ini);

    // A starts at 23:59 and runs eight seconds, past midnight; B follows it.
    ResetState();
    G.gSchedFile = IniGet(S("Morvenda"), S("ScheduleFile"), ini);
    Job(AddJob(S("A"), S("sleep 8"))).EarlyStartText = S("23:59");
    AddJob(S("B"), S("true"), S("A"));
    ASSERT_TRUE(SaveSchedule());
    ResetState();

    // The clock of the scheduler, its keepers and its jobs: 11 Feb 2026
    // 23:59:52 UTC now.
    const qint64 shift = QDateTime(QDate(2026, 2, 11), QTime(23, 59, 52), QTimeZone::utc()).toSecsSinceEpoch() -
                         QDateTime::currentSecsSinceEpoch();
    const std::unique_ptr<QProcess> scheduler = StartProgram(programs + S("/Morvenda"), {ini + S(",TEMP")},
                                                             {{"DISPLAY", QString::fromLatin1(xvfb.display())},
                                                              {"QT_QPA_PLATFORM", S("xcb")},
                                                              {"TZ", S("UTC")},
                                                              {"LD_PRELOAD", QString::fromLatin1(kFakeTime)},
                                                              {"FAKETIME", QString::number(shift)},
                                                              {"FAKETIME_DONT_FAKE_MONOTONIC", S("1")},
                                                              {"MRV_CMDLINE", QString()}});
    ASSERT_EQ(scheduler->state(), QProcess::Running);

    // The start-up window offers 11 Feb: Alt+L launches it.
    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    XWindowId start = 0;
    PollUntil(
        [&] {
            for (const XTopWindow& w : x.topLevelWindows())
                if (w.pid == scheduler->processId() && w.title.startsWith(S("Morvenda"))) start = w.window;
            return start != 0;
        },
        20000);
    ASSERT_NE(start, 0UL) << "the start-up window did not appear";
    QThread::msleep(1000);
    ASSERT_TRUE(x.activateWindow(start, 3000));
    QString error;
    ASSERT_TRUE(x.sendKeys({{XKeysymFromName(S("l")), XKeyAlt}}, &error)) << error.toStdString();

    // Every log line, of both calendar days.
    const QString next = S("Schedule for Thursday 12 Feb 2026");
    PollUntil([&] { return ReadLogs(dir.path(S("DEMO/Log"))).contains(next); }, 60000, 250);
    scheduler->kill();
    scheduler->waitForFinished(5000);

    const QString log = ReadLogs(dir.path(S("DEMO/Log")));
    ASSERT_TRUE(log.contains(next)) << log.toStdString();
    EXPECT_TRUE(log.contains(S("A        (Daily)  Submitted at 23:59:5"))) << log.toStdString();
    EXPECT_TRUE(log.contains(S("B        (Daily)  Submitted at 00:00:"))) << log.toStdString();
    const QString day = log.mid(log.indexOf(next));
    EXPECT_TRUE(day.contains(S("A        (Daily) scheduled"))) << log.toStdString();
    EXPECT_TRUE(day.contains(S("B        (Daily) scheduled"))) << log.toStdString();
    EXPECT_FALSE(day.contains(S("previously completed"))) << log.toStdString();
}

}  // namespace
