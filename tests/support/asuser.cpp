#include "tests/support/asuser.h"

#include "tests/support/testing.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

UserRun RunCurrentTestAsUser() {
    UserRun run;
    if (::geteuid() != 0) return run;
    run.kind = UserRun::Skip;
    const struct passwd* nobody = ::getpwnam("nobody");
    if (!nobody) {
        run.text = QStringLiteral("needs a user other than root, and there is no user nobody");
        return run;
    }
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        run.text = QStringLiteral("needs a user other than root, and setpriv (util-linux) is not on PATH");
        return run;
    }

    // The child's home: its own folder, which nobody may write.
    static TempDir home;
    if (::chown(home.path().toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
        run.text = QStringLiteral("cannot give a home folder to nobody");
        return run;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith(QStringLiteral("XDG_"))) env.remove(name);
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("USER"), QStringLiteral("nobody"));

    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter =
        QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(test->name());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(home.path());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv,
                {QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=") + filter, QStringLiteral("--gtest_color=no")});
    const bool ended = child.waitForFinished(100000);
    const QString out = QString::fromLocal8Bit(child.readAll());
    if (!ended) {
        child.kill();
        child.waitForFinished();
        run.kind = UserRun::RanAsNobody;
        run.failed = true;
        run.text = QStringLiteral("the run as nobody did not end in 100 seconds:\n") + out;
        return run;
    }
    // A child that never reached the test (the program out of nobody's
    // reach) is a skip; one that ran it passes only when it says so.
    if (!out.contains(QStringLiteral("[ RUN      ] ") + filter)) {
        run.text = QStringLiteral("needs a user other than root, and the test program did not run as nobody:\n") + out;
        return run;
    }
    if (out.contains(QStringLiteral("[  SKIPPED ] ") + filter)) {
        run.text = QStringLiteral("skipped as nobody:\n") + out;
        return run;
    }
    run.kind = UserRun::RanAsNobody;
    run.failed = child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
                 !out.contains(QStringLiteral("[       OK ] ") + filter);
    if (run.failed) run.text = QStringLiteral("failed as nobody:\n") + out;
    return run;
}
