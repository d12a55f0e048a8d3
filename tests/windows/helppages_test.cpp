#include "common/programfolder.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

// Every help topic a window names has its page where its program looks for it
// when no "HelpPath" is set, in the build tree (build/bin) and in an
// installation made by "cmake --install" (<prefix>/share/morvenda): the
// scheduler's pages as "help/<topic>.htm", the configuration editor's as
// "<topic>.htm" in the help folder.

namespace {

// The topics named in the sources of one program folder: every
// ShowHelp("...") call, and the texts that match Table (topics kept in tables).
QSet<QString> TopicsIn(const QString& folder, const QRegularExpression& table) {
    static const QRegularExpression call(QStringLiteral("ShowHelp\\(QStringLiteral\\(\"([^\"]+)\"\\)\\)"));
    QSet<QString> topics;
    QDirIterator it(qEnvironmentVariable("MRV_TEST_SOURCE_DIR") + S("/") + folder, {S("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = call.globalMatch(text); m.hasNext();) topics.insert(m.next().captured(1));
        for (auto m = table.globalMatch(text); m.hasNext();) topics.insert(m.next().captured(1));
    }
    return topics;
}

class HelpPages : public ::testing::Test {
protected:
    // One installation of the data for every test of the suite.
    static void SetUpTestSuite() {
        prefix_ = new TempDir;
        QProcess install;
        install.start(QStringLiteral(MRV_CMAKE_COMMAND), {S("--install"), qEnvironmentVariable("MRV_BUILD_DIR"),
                                                          S("--prefix"), prefix_->path(), S("--component"), S("data")});
        installed_ =
            install.waitForFinished(60000) && install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0;
        if (!installed_) installLog_ = install.readAllStandardError() + install.readAllStandardOutput();
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    static inline TempDir* prefix_ = nullptr;
    static inline bool installed_ = false;
    static inline QByteArray installLog_;
};

TEST_F(HelpPages, EveryTopicTheWindowsNameHasItsPageInBothLayouts) {
    ASSERT_TRUE(installed_) << installLog_.toStdString();
    const QSet<QString> scheduler =
        TopicsIn(S("morvenda"), QRegularExpression(QStringLiteral("\"(Job Edit Form - [A-Za-z ]+ Tab)\"")));
    const QSet<QString> confg = TopicsIn(S("mrvconfg"), QRegularExpression(QStringLiteral("\"(MRVConfg [A-Za-z]+)\"")));
    EXPECT_TRUE(scheduler.contains(S("Startup")));
    EXPECT_TRUE(scheduler.contains(S("Schedule Execution Form")));
    EXPECT_TRUE(scheduler.contains(S("Job Edit Form - Timing Tab")));
    EXPECT_EQ(confg, (QSet<QString>{S("MRVConfg Files"), S("MRVConfg Sched"), S("Public Holidays")}));

    // The help folder each layout's programs find from their own folder.
    const struct {
        const char* layout;
        QString programs;
        QString help;
    } layouts[] = {
        {"build tree", qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin"),
         qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin")},
        {"installed", prefix_->path(S("bin")), prefix_->path(S("share/morvenda"))},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.layout);
        const QString folder = HelpFolderOf(l.programs);
        EXPECT_EQ(folder, l.help);
        auto check = [&](const QString& page) {
            QFile f(page);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page.toStdString();
            const QByteArray html = f.readAll();
            EXPECT_TRUE(html.contains("<h1>") && html.contains("<li>")) << page.toStdString();
        };
        for (const QString& topic : scheduler) check(folder + S("/help/") + topic + S(".htm"));
        for (const QString& topic : confg) check(folder + S("/") + topic + S(".htm"));
    }
}

// The rest of an installation's data: desktop entries that the desktop accepts,
// each naming a program of the package and the icon, the README, the demo.
TEST_F(HelpPages, InstalledDataHasValidDesktopEntriesTheIconTheReadmeAndTheDemo) {
    ASSERT_TRUE(installed_) << installLog_.toStdString();
    const QDir apps(prefix_->path(S("share/applications")));
    const QStringList entries = apps.entryList({S("*.desktop")}, QDir::Files, QDir::Name);
    EXPECT_EQ(entries, (QStringList{S("morvenda-mrvconfg.desktop"), S("morvenda-mrvemail.desktop"),
                                    S("morvenda-mrvgenie.desktop"), S("morvenda.desktop")}));
    for (const QString& entry : entries) {
        const QString path = apps.filePath(entry);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << entry.toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        static const QRegularExpression exec(QStringLiteral("^Exec=(\\S+)"), QRegularExpression::MultilineOption);
        const QString program = exec.match(text).captured(1);
        EXPECT_TRUE(QFileInfo::exists(qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin/") + program))
            << entry.toStdString() << " starts " << program.toStdString();
        EXPECT_TRUE(text.contains(S("\nIcon=morvenda\n"))) << entry.toStdString();
        if (QFileInfo::exists(S("/usr/bin/desktop-file-validate"))) {
            QProcess validate;
            validate.start(S("/usr/bin/desktop-file-validate"), {path});
            ASSERT_TRUE(validate.waitForFinished(30000));
            EXPECT_EQ(validate.exitCode(), 0) << entry.toStdString() << ": " << validate.readAll().toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo::exists(prefix_->path(S("share/icons/hicolor/scalable/apps/morvenda.svg"))));
    EXPECT_TRUE(QFileInfo::exists(prefix_->path(S("share/doc/morvenda/README.md"))));
    EXPECT_TRUE(QFileInfo::exists(prefix_->path(S("share/morvenda/demo/DEMO/DEMO.ini"))));
}

// The installed demo holds @BASE@ for its folder: morvenda-demo makes a copy
// that names its own folder and the installed programs, into a new or empty
// folder only, and refuses bad command lines.
TEST_F(HelpPages, TheInstalledDemoCommandMakesAUsableCopy) {
    ASSERT_TRUE(installed_) << installLog_.toStdString();
    TempDir dir;
    dir.write(S("taken/mine.txt"), "the user's");
    const struct {
        const char* what;
        QStringList args;
        int status;
    } cases[] = {
        {"new folder", {S("--copy-only"), dir.path(S("run"))}, 0},
        {"empty folder", {S("--copy-only"), dir.path(S("empty"))}, 0},
        {"folder in use", {S("--copy-only"), dir.path(S("taken"))}, 1},
        {"no folder", {S("--copy-only")}, 2},
        {"unknown option", {S("--frobnicate")}, 2},
        {"help", {S("--help")}, 0},
    };
    QDir().mkpath(dir.path(S("empty")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QProcess demo;
        demo.start(prefix_->path(S("bin/morvenda-demo")), c.args);
        ASSERT_TRUE(demo.waitForFinished(30000));
        EXPECT_EQ(demo.exitCode(), c.status) << demo.readAllStandardError().toStdString();
        if (c.status != 0 || c.args.size() != 2) continue;
        const QString run = c.args[1];
        for (const char* file : {"DEMO/DEMO.ini", "DEMO/DEMO.sch", "@Email/MRVEmail.ini"}) {
            const QByteArray text = dir.read(run + S("/") + S(file));
            EXPECT_FALSE(text.isEmpty()) << file;
            EXPECT_FALSE(text.contains("@BASE@")) << file;
        }
        const QByteArray ini = dir.read(run + S("/DEMO/DEMO.ini"));
        EXPECT_TRUE(ini.contains((S("ScheduleFile=") + run + S("/DEMO/DEMO.sch\r\n")).toUtf8()));
        EXPECT_TRUE(ini.contains((S("DummyProg=") + prefix_->path(S("bin/MRVDummy")) + S("\r\n")).toUtf8()));
        for (const char* folder : {"@Trigger", "@Email/Messages", "DEMO/Log", "DEMO/Output"})
            EXPECT_TRUE(QFileInfo(run + S("/") + S(folder)).isDir()) << folder;
    }
    EXPECT_EQ(QDir(dir.path(S("taken"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{S("mine.txt")});
}

}  // namespace
