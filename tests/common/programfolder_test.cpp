#include "common/programfolder.h"

#include "tests/support/testing.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// The help folder of a program folder: the installed data folder beside bin/
// once it holds the help pages, else the program folder itself.
TEST(ProgramFolder, HelpFolderIsTheInstalledDataFolderOnlyWhenItHoldsThePages) {
    TempDir dir;
    const struct {
        const char* what;
        const char* made;  // folder made under dir, "" for none
        const char* programs;
        const char* help;
    } cases[] = {
        {"installed", "usr/share/morvenda/help", "usr/bin", "usr/share/morvenda"},
        {"data folder without pages", "opt/share/morvenda", "opt/bin", "opt/bin"},
        {"build tree", "build/bin/help", "build/bin", "build/bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(dir.path(S(c.programs)));
        QDir().mkpath(dir.path(S(c.made)));
        EXPECT_EQ(HelpFolderOf(dir.path(S(c.programs))), dir.path(S(c.help)));
    }
    EXPECT_EQ(HelpFolderOf(QString()), QString());
}

// The running program's folder comes from its executable, not the current
// folder: the test program lives in the build's tests folder.
TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    const QString folder = ProgramFolder();
    EXPECT_TRUE(QDir::isAbsolutePath(folder));
    EXPECT_TRUE(QFileInfo(folder + S("/common_unit_tests")).isExecutable()) << folder.toStdString();
}

}  // namespace
