#include "morvenda/core/windowhelpers.h"

#include "common/fatal.h"
#include "common/programfolder.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/widgethelpers.h"
#include "platform/drives.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString Exe(const TempDir& dir, const QString& name, const QByteArray& body) {
    const QString path = dir.write(name, "#!/bin/sh\n" + body);
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
}

// Content of a file once it exists; "" after five seconds.
QString WaitFor(const QString& path) {
    for (int i = 0; i < 500; ++i) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) return QString::fromUtf8(f.readAll());
        QThread::msleep(10);
    }
    return QString();
}

TEST(KeyFilters, KeepDropOrUpperCase) {
    struct Case {
        const char* filter;
        char16_t key;
        const char* extra;
        char16_t result;  // 0: dropped
    };
    const Case cases[] = {
        {"digits", u'7', "", u'7'},
        {"digits", u'a', "", 0},
        {"digits", u'\b', "", u'\b'},
        {"digits", u'-', "", 0},
        {"digits", u'\u0663', "", 0},  // an Arabic-Indic digit is no digit of ours
        {"alnum", u'a', "", u'A'},
        {"alnum", u'Z', "", u'Z'},
        {"alnum", u'5', "", u'5'},
        {"alnum", u' ', "", 0},
        {"alnum", u' ', " ", u' '},
        {"alnum", u'\u00e9', "", 0},  // letters beyond gAlphaChars are refused
        {"alnum", u'\b', "", u'\b'},
        {"alnum", u',', "", 0},
        {"custom", u'm', "ymdhns -/:.", u'M'},
        {"custom", u'Y', "ymdhns -/:.", u'Y'},
        {"custom", u':', "ymdhns -/:.", u':'},
        {"custom", u'x', "ymdhns -/:.", 0},
        {"custom", u'\b', "", u'\b'},
        {"custom", u'a', "", 0},
    };
    for (const Case& c : cases) {
        const QString filter = S(c.filter);
        QChar got;
        if (filter == S("digits"))
            got = stdTextKeyPressDigits(QChar(c.key));
        else if (filter == S("alnum"))
            got = stdTextKeyPressAlphaNum(QChar(c.key), S(c.extra));
        else
            got = stdTextKeyPressCustom(QChar(c.key), S(c.extra));
        EXPECT_EQ(got.unicode(), c.result) << c.filter << " key " << int(c.key);
    }
    EXPECT_TRUE(stdTextKeyPressAlphaNum(QChar(0)).isNull());
    EXPECT_TRUE(stdTextKeyPressDigits(QChar(0)).isNull());
}

TEST(ValidFilePath, NeedsAnExistingFolderAndAPlainName) {
    TempDir dir;
    dir.write(S("Data/x.txt"), "x");
    const QString data = dir.path(S("Data"));
    struct Case {
        QString path;
        bool valid;
    };
    const Case cases[] = {
        {data + S("/report.txt"), true},
        {data + S("/new file.txt"), true},
        {data + S("/*.txt"), false},
        {data + S("/report?.txt"), false},
        {data + S("/"), false},
        {S("report.txt"), false},
        {dir.path(S("Missing/report.txt")), false},
        {data + S("/x.txt/y"), false},  // the "folder" is a file
        {S("/report.txt"), true},       // right under the root
        {S("/a*b/report.txt"), false},  // a wildcard before the last "/" leaves a missing folder
        {QString(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(ValidFilePath(c.path), c.valid) << c.path.toStdString();
}

TEST(OnFixedDrive, LooksUpThePathsMountPoint) {
    ResetState();
    TempDir dir;
    const QString file = dir.path(S("sub/report.txt"));
    G.gFixedDrives = {DriveOf(dir.path())};
    EXPECT_TRUE(OnFixedDrive(file));
    EXPECT_FALSE(OnFixedDrive(S("sub/report.txt")));
    EXPECT_FALSE(OnFixedDrive(QString()));
    G.gFixedDrives = {S("/no/such/mount")};
    EXPECT_FALSE(OnFixedDrive(file));
    G.gFixedDrives.clear();
    EXPECT_FALSE(OnFixedDrive(file));
    EXPECT_EQ(ListDrives(), FixedDrives());
    ResetState();
}

// The suite's name hides the function of that name: it is called as ::ShowHelp.
using ShowHelp = SchedulerStateTest;

TEST_F(ShowHelp, OpensThePageOrSaysItIsMissing) {
    OpenerOnPath opener;
    G.gHelpPath = dir.path();
    const QString page = dir.write(S("help/Schedule Update Form.htm"), "<html></html>");
    EXPECT_EQ(HelpPagePath(S("Schedule Update Form")), page);
    EXPECT_TRUE(::ShowHelp(S("Schedule Update Form")));
    EXPECT_EQ(opener.waitRecord(), page + S("\n"));
    EXPECT_TRUE(prompts.messages.isEmpty());

    EXPECT_FALSE(::ShowHelp(S("Customise View")));
    EXPECT_EQ(prompts.messages, QStringList{S("Sorry - cannot find a help file matching \"Customise View\"")});

    // Without a help folder the pages are looked for beside the program.
    G.gHelpPath.clear();
    EXPECT_EQ(HelpPagePath(S("Topic")), ProgramFolder() + S("/help/Topic.htm"));
}

TEST_F(ShowHelp, ReportsAPageThatCannotBeOpened) {
    ScopedEnv path("PATH", dir.path(S("empty bin")).toUtf8());
    G.gHelpPath = dir.path();
    dir.write(S("help/Topic.htm"), "x");
    EXPECT_FALSE(::ShowHelp(S("Topic")));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(dir.path(S("help/Topic.htm")))) << prompts.messages[0].toStdString();
}

TEST(RunGenieAndEnd, StartsTheGenieThenEnds) {
    struct Case {
        const char* configured;  // G.gGeniePath, relative to the folder
        const char* onDisk;      // the program that exists, "" for none
        bool started;
    };
    const Case cases[] = {
        {"MRVGenie", "MRVGenie", true},
        {"MRVGenie.exe", "MRVGenie", true},
        {"My Tools/MRVGenie", "My Tools/MRVGenie", true},
        {"MRVGenie", "", false},
    };
    for (const Case& c : cases) {
        ResetState();
        ScriptedPrompter prompter;
        TempDir dir;
        const QString marker = dir.path(S("ran.txt"));
        if (*c.onDisk)
            Exe(dir, S(c.onDisk),
                "echo \"$#\" > \"" + marker.toUtf8() + ".tmp\"; mv \"" + marker.toUtf8() + ".tmp\" \"" +
                    marker.toUtf8() + "\"\n");
        G.gGeniePath = dir.path(S(c.configured));
        bool stopped = false;
        try {
            RunGenieAndEnd();
        } catch (const FatalStop&) {
            stopped = true;
        }
        EXPECT_TRUE(stopped) << c.configured;
        if (c.started) {
            EXPECT_TRUE(prompter.messages.isEmpty()) << c.configured;
            EXPECT_EQ(WaitFor(marker), S("0\n")) << c.configured;  // started without arguments
        } else {
            EXPECT_EQ(prompter.messages, QStringList{S("Error invoking  \"") + G.gGeniePath + S("\"")});
        }
    }
    ResetState();
}

}  // namespace
