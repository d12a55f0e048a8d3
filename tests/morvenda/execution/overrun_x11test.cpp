#include "common/datetime.h"
#include "common/ini.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "platform/x11.h"
#include "tests/support/scheduler.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
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
    JobTableChanged();
    G.gSchedFile = IniGet(S("Morvenda"), S("ScheduleFile"), ini);
    Job(AddJob(S("A"), S("sleep 8"))).EarlyStartText = S("23:59");
    AddJob(S("B"), S("true"), S("A"));
    ASSERT_TRUE(SaveSchedule());
    ResetState();
    JobTableChanged();

    // The clock of the scheduler, its keepers and its jobs: 11 Feb 2026
    // 23:59:52 UTC now.
    const qint64 shift = QDateTime(QDate(2026, 2, 11), QTime(23, 59, 52), QTimeZone::utc()).toSecsSinceEpoch() -
                         QDateTime::currentSecsSinceEpoch();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("DISPLAY"), QString::fromLatin1(xvfb.display()));
    env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
    env.insert(S("TZ"), S("UTC"));
    env.insert(S("LD_PRELOAD"), QString::fromLatin1(kFakeTime));
    env.insert(S("FAKETIME"), QString::number(shift));
    env.insert(S("FAKETIME_DONT_FAKE_MONOTONIC"), S("1"));
    env.remove(S("MRV_CMDLINE"));
    QProcess scheduler;
    scheduler.setProcessEnvironment(env);
    scheduler.start(programs + S("/Morvenda"), {ini + S(",TEMP")});
    ASSERT_TRUE(scheduler.waitForStarted(5000));

    // The start-up window offers 11 Feb: Alt+L launches it.
    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    XWindowId start = 0;
    QElapsedTimer t;
    t.start();
    while (start == 0 && t.elapsed() < 20000) {
        for (const XTopWindow& w : x.topLevelWindows())
            if (w.pid == scheduler.processId() && w.title.startsWith(S("Morvenda"))) start = w.window;
        QThread::msleep(100);
    }
    ASSERT_NE(start, 0UL) << "the start-up window did not appear";
    QThread::msleep(1000);
    ASSERT_TRUE(x.activateWindow(start, 3000));
    QString error;
    ASSERT_TRUE(x.sendKeys({{XKeysymFromName(S("l")), XKeyAlt}}, &error)) << error.toStdString();

    // Every log line, of both calendar days.
    auto logs = [&] {
        QString all;
        const QString folder = dir.path(S("DEMO/Log"));
        for (const QString& f : QDir(folder).entryList({S("*.log")}, QDir::Files, QDir::Name))
            all += QString::fromUtf8(dir.read(folder + QLatin1Char('/') + f));
        return all;
    };
    const QString next = S("Schedule for Thursday 12 Feb 2026");
    t.restart();
    while (!logs().contains(next) && t.elapsed() < 60000) QThread::msleep(250);
    scheduler.kill();
    scheduler.waitForFinished(5000);

    const QString log = logs();
    ASSERT_TRUE(log.contains(next)) << log.toStdString();
    EXPECT_TRUE(log.contains(S("A        (Daily)  Submitted at 23:59:5"))) << log.toStdString();
    EXPECT_TRUE(log.contains(S("B        (Daily)  Submitted at 00:00:"))) << log.toStdString();
    const QString day = log.mid(log.indexOf(next));
    EXPECT_TRUE(day.contains(S("A        (Daily) scheduled"))) << log.toStdString();
    EXPECT_TRUE(day.contains(S("B        (Daily) scheduled"))) << log.toStdString();
    EXPECT_FALSE(day.contains(S("previously completed"))) << log.toStdString();
}

}  // namespace
