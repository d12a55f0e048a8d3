#include "tests/support/testing.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

// Every program answers --help and --version on standard output and ends with
// status 0 before it makes its application object: run with Qt's X11 platform
// forced and no display, any window (or the start of one) would end the
// program with an error instead. The keeper is installed beside them and
// answers the same way.

namespace {

TEST(ProgramCommandLines, HelpAndVersionAnswerWithoutAWindow) {
    // The build tree's programs, or an installation's (MRV_PROGRAM_DIR).
    const QString installed = qEnvironmentVariable("MRV_PROGRAM_DIR");
    const QString bin = (installed.isEmpty() ? qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin") : installed) + S("/");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(S("DISPLAY"));
    env.remove(S("WAYLAND_DISPLAY"));
    env.remove(S("MRV_CMDLINE"));
    env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
    for (const char* name : {"Morvenda", "MRVEmail", "MRVDummy", "MRVChap", "MRVGenie", "MRVConfg", "MRVKeep"}) {
        const QString program = S(name);
        for (const char* option : {"--help", "--version"}) {
            SCOPED_TRACE(std::string(name) + " " + option);
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(bin + program, {S(option)});
            ASSERT_TRUE(p.waitForFinished(20000));
            const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
            if (QLatin1String(option) == QLatin1String("--help")) {
                EXPECT_TRUE(out.startsWith(S("Usage: ") + program)) << out.toStdString();
                EXPECT_TRUE(out.contains(S("--version"))) << out.toStdString();
            } else {
                EXPECT_EQ(out, program + S(" 1.0\n"));
            }
        }
    }
}

}  // namespace
