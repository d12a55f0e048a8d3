#include "mrvchap/windows/frmMRVChap.h"

#include "common/settings.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The window on Qt's offscreen platform, where an error box cannot be seen:
// its text goes to standard error and the program ends at once.
class ChapWindowTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.path(S("config")).toUtf8()};
    ScopedEnv state{"XDG_STATE_HOME", dir.path(S("state")).toUtf8()};
    ScriptedPrompter prompts;

    QPushButton* button(frmMRVChap& w, const char* name) { return w.findChild<QPushButton*>(QLatin1String(name)); }
    QStringList listed(frmMRVChap& w) { return ItemTexts(Child<QComboBox>(w, "lsbKeyFiles")); }
    QStringList diagRows(frmMRVChap& w) {
        QStringList out;
        const QAbstractItemModel* model = w.findChild<QListView*>(S("lsbDiag"))->model();
        for (int i = 0; i < model->rowCount(); ++i) out << model->index(i, 0).data().toString();
        return out;
    }
};

TEST_F(ChapWindowTest, ListsScriptsAndStartsTheOnlyOne) {
    struct Case {
        const char* what;
        QString commandLine;
        QStringList listed;
        QString path;  // the file OK loads
        bool startsByItself;
    };
    const QString keys = dir.path(S("keys"));
    dir.write(S("keys/a.key"), "[rem a]\r\n");
    dir.write(S("keys/daily.v2.key"), "[rem daily]\r\n");
    dir.write(S("keys/x.txt"), "");
    dir.write(S("keys/x.key"), "[rem x]\r\n");
    dir.write(S("prog/own.key"), "[rem own]\r\n");
    dir.write(S("caps/UP.KEY"), "[rem up]\r\n");
    const Case cases[] = {
        {"a folder's scripts wait for OK",
         keys + S("/*.key"),
         {S("a"), S("daily.v2"), S("x")},
         keys + S("/a.key"),
         false},
        {"a named script starts by itself",
         keys + S("/daily.v2.key,p1"),
         {S("daily.v2")},
         keys + S("/daily.v2.key"),
         true},
        {"another extension is loaded as .key", keys + S("/x.txt"), {S("x")}, keys + S("/x.key"), true},
        {"a bare name is looked for in the program's folder",
         S("own.key"),
         {S("own")},
         dir.path(S("prog/own.key")),
         true},
        {"no script lists the program's folder", QString(), {S("own")}, dir.path(S("prog/own.key")), true},
        {"a missing script lists nothing", keys + S("/none.key"), {}, keys + S("/none.key"), false},
        {"a script is opened as it is listed", dir.path(S("caps/*.key")), {S("UP")}, dir.path(S("caps/UP.KEY")), true},
    };
    for (const Case& c : cases) {
        frmMRVChap w;
        w.Form_Load(c.commandLine, dir.path(S("prog")));
        EXPECT_EQ(listed(w), c.listed) << c.what;
        EXPECT_EQ(w.scriptPath(), c.path) << c.what;
        w.show();
        QTest::qWait(50);
        // A script that ran shows its rows and offers Hold.
        EXPECT_EQ(button(w, "cmdOK")->text() == S("&Hold"), c.startsByItself) << c.what;
        EXPECT_EQ(diagRows(w).size() == 1, c.startsByItself) << c.what;
    }
}

TEST_F(ChapWindowTest, CountdownHoldAndClose) {
    // exec starts a program as it is (a path with blanks in double quotes).
    const QString mark = dir.write(S("my tools/mark.sh"), "#!/bin/sh\necho started > \"$(dirname \"$0\")/marked\"\n");
    QFile::setPermissions(mark, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    dir.write(S("run.key"), "[log]\r\n[rem nothing to type]\r\n[exec \"" + mark.toUtf8() + "\"]\r\n");
    frmMRVChap w;
    w.move(40, 70);
    QSignalSpy ended(&w, &frmMRVChap::finished);
    w.Form_Load(dir.path(S("run.key")), dir.path());
    w.cmdOK_Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dir.read(S("my tools/marked")).isEmpty(); }, 5000));
    auto* timer = w.findChild<QTimer*>(S("tmrKeys"));
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(button(w, "cmdCancel")->text(), S("&Close"));
    // Each tick takes one star off the countdown row.
    w.tmrKeys_Timer();
    EXPECT_EQ(diagRows(w).last(), QString(29, u'*'));
    // The countdown is the window's, not the script's: the log never has it.
    const QByteArray log = dir.read(S("state/Morvenda/MRVChap.run.log"));
    EXPECT_TRUE(log.contains("Ending at ")) << log.toStdString();
    EXPECT_FALSE(log.contains("*")) << log.toStdString();
    // Hold stops the countdown; Close then ends the program in success.
    w.cmdOK_Click();
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(button(w, "cmdOK")->isEnabled());
    EXPECT_TRUE(ended.isEmpty());
    w.cmdCancel_Click();
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0][0].toInt(), 0);
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The position is kept in twips.
    EXPECT_EQ(GetSetting(S("MRVChap"), S("WindowLoc"), S("Left")), S("600"));
    EXPECT_EQ(GetSetting(S("MRVChap"), S("WindowLoc"), S("Top")), S("1050"));

    // Left alone the countdown closes the window after 30 ticks, at the
    // position saved before.
    frmMRVChap again;
    QSignalSpy closed(&again, &frmMRVChap::finished);
    again.Form_Load(dir.path(S("run.key")), dir.path());
    EXPECT_EQ(again.pos(), QPoint(40, 70));
    again.cmdOK_Click();
    for (int i = 0; i < 30 && closed.isEmpty(); ++i) again.tmrKeys_Timer();
    ASSERT_EQ(closed.size(), 1);
    EXPECT_EQ(closed[0][0].toInt(), 0);
}

// A script that is no text: NUL bytes after a first line that would pass.
constexpr char kBinary[] =
    "[rem]\r\n\x7f"
    "ELF\x01\x00\x00\r\n";

TEST_F(ChapWindowTest, EveryWayOfEnding) {
    TempDir lockDir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", lockDir.path().toUtf8());
    struct Case {
        const char* what;
        QByteArray script;   // null: no such file
        int status;          // -1: the window stays, offering Close
        const char* cancel;  // the caption of cmdCancel after OK
    };
    const Case cases[] = {
        {"errors in the script", "[bogus]\r\n[goto x]\r\n", 1, "&Cancel"},
        {"validation only", "[validate]\r\n[rem]\r\n", -1, "&Close"},
        {"validation that found errors", "[validate]\r\n[bogus]\r\n", 1, "&Close"},
        {"a script that cannot be read", QByteArray(), 1, "&Cancel"},
        {"a binary file", QByteArray(kBinary, sizeof kBinary - 1), 1, "&Cancel"},
        {"a missing lock file", "[lockfile]\r\n", 1, "&Cancel"},
        {"keys before a window", "abc\r\n", 1, "&Cancel"},
        {"a wait with no display", "[waitforwindowtitle \"No Such Window Anywhere\"]\r\n", 1, "&Cancel"},
    };
    for (const Case& c : cases) {
        if (!c.script.isNull())
            dir.write(S("s.key"), c.script);
        else
            QFile::remove(dir.path(S("s.key")));
        frmMRVChap w;
        QSignalSpy ended(&w, &frmMRVChap::finished);
        w.Form_Load(dir.path(S("s.key")), dir.path());
        w.cmdOK_Click();
        EXPECT_EQ(button(w, "cmdCancel")->text(), S(c.cancel)) << c.what;
        if (c.status < 0) {
            EXPECT_TRUE(ended.isEmpty()) << c.what;
            w.cmdCancel_Click();
            ASSERT_EQ(ended.size(), 1) << c.what;
            EXPECT_EQ(ended[0][0].toInt(), 0) << c.what;
        } else {
            ASSERT_EQ(ended.size(), 1) << c.what;
            EXPECT_EQ(ended[0][0].toInt(), c.status) << c.what;
        }
    }
}

TEST_F(ChapWindowTest, TheProgramSaysWhyItRefusedAScript) {
    // The program itself, where no box can be seen: what it says goes to
    // standard error before it ends with status 1.
    const QString lock = dir.path(S("run/MRVChap.Lck"));
    struct Case {
        const char* what;
        QByteArray script;
        QString said;       // on standard error
        QByteArray logged;  // in the script's log ("" none)
    };
    const Case cases[] = {
        {"a binary file", QByteArray(kBinary, sizeof kBinary - 1), S("is not a keystroke script: it holds binary data"),
         ""},
        {"a missing lock file", "[rem]\r\n[lockfile]\r\n", S("MRVChap - Lock file does not exist: \"") + lock + u'"',
         "MRVChap - Lock file does not exist: \"" + lock.toUtf8() + '"'},
    };
    for (const Case& c : cases) {
        const QString script = dir.write(S("p.key"), c.script);
        QProcess chap;
        chap.setProcessEnvironment(ProgramEnvironment({{"QT_QPA_PLATFORM", S("offscreen")},
                                                       {"XDG_CONFIG_HOME", dir.path(S("config"))},
                                                       {"XDG_STATE_HOME", dir.path(S("state"))},
                                                       {"XDG_RUNTIME_DIR", dir.path(S("run"))}}));
        chap.start(BuiltProgram("MRVChap"), {script});
        ASSERT_TRUE(chap.waitForFinished(20000)) << c.what;
        EXPECT_EQ(chap.exitCode(), 1) << c.what;
        const QString said = QString::fromUtf8(chap.readAllStandardError());
        EXPECT_TRUE(said.contains(c.said)) << c.what << ": " << said.toStdString();
        const QByteArray log = dir.read(S("state/Morvenda/MRVChap.p.log"));
        EXPECT_EQ(log.contains(c.logged), !c.logged.isEmpty() || log.isEmpty()) << c.what << ": " << log.toStdString();
    }
}

TEST_F(ChapWindowTest, BrowseLoadsTheChosenFileAsItIsNamed) {
    dir.write(S("a.key"), "[rem a]\r\n");
    const QString chosen = dir.write(S("other/daily.v2.txt"), "[rem chosen]\r\n");
    frmMRVChap w;
    w.Form_Load(QString(), dir.path());
    QString title;
    QTimer::singleShot(0, &w, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        title = d->windowTitle();
        d->selectFile(chosen);
        static_cast<QDialog*>(d)->accept();
    });
    w.cmdBrowse_Click();
    EXPECT_EQ(title, S("Keystroke Files"));
    EXPECT_EQ(listed(w), QStringList{S("daily.v2")});
    EXPECT_EQ(w.scriptPath(), chosen);
    w.cmdOK_Click();
    EXPECT_EQ(diagRows(w), QStringList{S("[rem chosen]")});
}

TEST_F(ChapWindowTest, DoubleClickLeavesTheErrorRows) {
    dir.write(S("s.key"), "[rem fine]\r\n[delay x]\r\nkeys\r\n[label a]\r\n[label a]\r\n");
    frmMRVChap w;
    w.Form_Load(dir.path(S("s.key")), dir.path());
    w.cmdOK_Click();
    EXPECT_EQ(w.findChild<QListView*>(S("lsbDiag"))->toolTip(), S("Double click here to leave only error rows."));
    w.lsbDiag_DblClick();
    EXPECT_EQ(diagRows(w),
              (QStringList{S("[delay x] - Value not numeric  ***************"), S("[label a] - Duplicate label")}));
}

}  // namespace
