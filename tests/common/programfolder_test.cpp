#include "common/programfolder.h"

#include "tests/support/testing.h"

#include <QDir>

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

}  // namespace
