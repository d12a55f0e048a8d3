#include "morvenda/startup/startup.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/settings.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "tests/support/asuser.h"
#include "tests/support/statefixture.h"
#include "tests/support/stopreason.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

class FakeHost : public StartupHost {
public:
    void showSplash() override { events << S("show"); }
    void hideSplash() override { events << S("hide"); }
    QString firstRunFile() override {
        events << S("firstrun");
        return firstRunAnswer;
    }
    QStringList events;
    QString firstRunAnswer;
};

class StartupTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        dir.write(S("sched.sch"), "");
    }

    // A complete configuration file; entries listed in `drop` are left out,
    // `extra` adds or overrides keys.
    QString writeIni(const QStringList& drop = {}, const QList<QPair<QString, QString>>& extra = {}) {
        QList<QPair<QString, QString>> keys = {
            {S("ScheduleName"), S("ACCOUNTS")},
            {S("ScheduleFile"), dir.path(S("sched.sch"))},
            {S("LogFile"), dir.path(S("yyyymmdd.log"))},
            {S("TriggerPath"), dir.path()},
            {S("TrackerPath"), dir.path()},
            {S("EmailAddrPath"), dir.path()},
            {S("EmailPath"), dir.path()},
            {S("EmailAttPath"), dir.path()},
            {S("JobDocPath"), dir.path()},
            {S("PubHols"), gMissingMark},
            {S("DayStart"), S("06:00")},
            {S("CPULimit"), S("12")},
            {S("DateDisplayFormat"), S("0")},
            {S("MinJobLaunch"), S("15")},
            {S("RunTimeErrorText"), S("Run-time error|Critical error")},
        };
        IniDocument doc;
        for (const auto& [k, v] : keys)
            if (!drop.contains(k)) doc.setValue(gAppName, k, v);
        for (const auto& [k, v] : extra) doc.setValue(gAppName, k, v);
        const QString path = dir.path(S("sched.ini"));
        EXPECT_TRUE(doc.save(path));
        return path;
    }

    StartupValues run(const QString& commandLine) { return RunStartupSequence(commandLine, host); }
    // The reason the start-up with CommandLine stops for.
    QString stop(const QString& commandLine) {
        return StopReason([&] { run(commandLine); });
    }

    FakeHost host;
};

TEST_F(StartupTest, CommandLineNamesTheFileAndTheTemporaryMark) {
    const SchedulerCommandLine plain = ParseSchedulerCommandLine(S("/srv/a.ini"));
    EXPECT_EQ(plain.iniFile, S("/srv/a.ini"));
    EXPECT_FALSE(plain.temporary);
    EXPECT_TRUE(ParseSchedulerCommandLine(S("/srv/a.ini,temp")).temporary);
    EXPECT_TRUE(ParseSchedulerCommandLine(S("/srv/a.ini, TEMP ")).temporary);
    EXPECT_FALSE(ParseSchedulerCommandLine(S("/srv/a.ini,later")).temporary);
    EXPECT_EQ(ParseSchedulerCommandLine(S("\"/srv/a,b.ini\",TEMP")).iniFile, S("/srv/a,b.ini"));
}

TEST_F(StartupTest, ReadsEveryKeyAndShowsTheSplashOnlyWhileStarting) {
    const QString ini = writeIni();
    const StartupValues v = run(ini + S(",TEMP"));
    EXPECT_EQ(host.events, (QStringList{S("show"), S("hide")}));
    EXPECT_FALSE(G.gStartingUp);
    EXPECT_TRUE(G.gIniTemp);
    EXPECT_EQ(G.gSchedName, S("ACCOUNTS"));
    EXPECT_EQ(G.gJobIndexFile, dir.path(S("Triggers.Lst")));
    EXPECT_EQ(G.gRunTimeErrorText, S("RUN-TIME ERROR|CRITICAL ERROR"));
    EXPECT_EQ(G.gMinJobLaunch, 15);
    EXPECT_EQ(G.gWorkdays, S("Mon,Tue,Wed,Thu,Fri"));
    EXPECT_EQ(G.gGroupFilter, gAllGroups);
    EXPECT_TRUE(G.gProgTitle.startsWith(S("Morvenda v ")));
    EXPECT_EQ(G.gFixedDrives, ListDrives());
    EXPECT_EQ(v.runDateText, S("8 Dec 2026"));
    EXPECT_EQ(v.startTime, S("06:00"));
    EXPECT_EQ(v.cpuLimit, S("12"));
    EXPECT_EQ(v.schedCaption, S("Schedule: ACCOUNTS"));
    EXPECT_EQ(G.gDummyModel, S("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,OTT=On,RES=S,GO=Y"));
    EXPECT_TRUE(G.gDummyProg.endsWith(S("/MRVDummy")));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(StartupTest, FindsTheFileThroughTheDefaultOrTheFirstRunWindow) {
    const QString ini = writeIni();
    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, S("Current"), ini));
    run(QString());
    EXPECT_EQ(G.gIniFile, ini);
    EXPECT_FALSE(host.events.contains(S("firstrun")));

    ResetState();
    ASSERT_TRUE(DeleteSetting(gAppName, gRegSection, S("Current")));
    host.events.clear();
    host.firstRunAnswer = ini;
    run(QString());
    EXPECT_EQ(host.events.first(2), (QStringList{S("show"), S("firstrun")}));
    EXPECT_EQ(G.gIniFile, ini);
    // Found through the first-run window and started well: the default now.
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), ini);
}

TEST_F(StartupTest, FirstRunFileBecomesTheDefaultOnlyAfterAGoodStart) {
    // A file without ScheduleFile stops the start-up: it must not become the
    // default, or every later start would stop on it.
    host.firstRunAnswer = writeIni({S("ScheduleFile")});
    EXPECT_THROW(run(QString()), FatalStop);
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), S(""));

    // The same with a public holidays file that does not exist.
    ResetState();
    host.firstRunAnswer = writeIni({}, {{S("PubHols"), dir.path(S("none.phf"))}});
    EXPECT_THROW(run(QString()), FatalStop);
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), S(""));

    // A file named on the command line never becomes the default here.
    ResetState();
    run(writeIni());
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), S(""));
}

TEST_F(StartupTest, StopsWithoutAUsableFile) {
    // The first-run window ends the program itself; nothing more is shown.
    EXPECT_EQ(stop(QString()), S("No configuration file chosen"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    ResetState();
    EXPECT_EQ(stop(dir.path(S("nothere.ini"))), S("Cannot find INI file: ") + dir.path(S("nothere.ini")));
}

TEST_F(StartupTest, MissingMandatoryKeysStopAndAreWrittenBackEmpty) {
    const QString ini = writeIni({S("ScheduleName")});
    EXPECT_EQ(stop(ini), S("The following mandatory specifications are missing from the INI file\n\nScheduleName"));
    EXPECT_EQ(IniDocument::load(ini).value(gAppName, S("ScheduleName")), std::optional<QString>(S("")));
}

TEST_F(StartupTest, AFileThatIsNoConfigurationFileStopsAndIsLeftAsItWas) {
    // The schedule file named by mistake, a binary file, an older text file
    // without the section, a folder: each stops with its path named, and not
    // one byte of it changes.
    QByteArray binary;
    for (int i = 0; i < 512; ++i) binary += static_cast<char>((i * 37) % 256);
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"sched.sch", "EXTRACT\t\"sh -c \"\"echo x\"\"\"\t\tDaily\r\nLOAD\tsleep 3\t\tDaily\r\n"},
        {"data.bin", binary},
        {"notes.ini", "[Other]\nScheduleName=Caf\xe9\n"},
        {"empty.ini", ""},
    };
    for (const auto& f : files) {
        ResetState();
        const QString path = dir.write(S(f.name), f.bytes);
        const QString reason = stop(path);
        EXPECT_TRUE(reason.startsWith(S("\"%1\" is not a Morvenda configuration file: ").arg(path)))
            << f.name << ": " << reason.toStdString();
        EXPECT_EQ(dir.read(S(f.name)), f.bytes) << f.name;
    }
    ResetState();
    QDir().mkpath(dir.path(S("folder.ini")));
    EXPECT_THROW(run(dir.path(S("folder.ini"))), FatalStop);
}

TEST_F(StartupTest, MissingOptionalKeysAreReportedOnce) {
    const QString ini = writeIni({S("LogFile"), S("PubHols")});
    run(ini);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], S("The following optional specifications are missing from the INI file\n\n"
                                     "LogFile, PubHols.\n\nThis warning will not appear again."));
    EXPECT_EQ(IniGet(gAppName, S("LogFile"), ini), gMissingMark);
    ResetState();
    prompts.messages.clear();
    run(ini);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(G.gLogFile, S(""));
    EXPECT_EQ(G.gPubHolsFile, S(""));
}

// A file the keys cannot be marked in: the warning says why it will come again.
TEST_F(StartupTest, MissingKeysThatCannotBeMarkedAreReportedAgain) {
    MRV_RUN_AS_USER();
    const QString ini = writeIni({S("LogFile"), S("PubHols")});
    const QByteArray before = dir.read(S("sched.ini"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0500), 0);
    run(ini);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(
        S("The following optional specifications are missing from the INI file\n\nLogFile, PubHols.\n\nThey could "
          "not be marked in the file, so this warning will appear again: Cannot write \"") +
        ini))
        << prompts.messages[0].toStdString();
    EXPECT_EQ(dir.read(S("sched.ini")), before);
}

TEST_F(StartupTest, RunDateFollowsTheDayStart) {
    const QString ini = writeIni();
    clock.set(DateVal::fromDateTime(2026, 12, 8, 5, 30, 0));
    EXPECT_EQ(run(ini).runDateText, S("7 Dec 2026"));
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 7));
    ResetState();
    clock.set(DateVal::fromDateTime(2026, 12, 8, 6, 0, 0));
    EXPECT_EQ(run(ini).runDateText, S("8 Dec 2026"));
}

TEST_F(StartupTest, NumbersAndFormatsFallBackToTheirDefaults) {
    struct Case {
        const char* cpu;
        const char* minLaunch;
        const char* dateFmt;
        const char* wantCpu;
        int wantMin;
        const char* wantFmt;
        const char* wantLong;
        bool warned;
    };
    const Case cases[] = {
        {"abc", "0", "2", "9999", 10, "yyyy mmm dd", "yyyy mmm dd", false},
        {"0", "", "1", "9999", 10, "mmm d yyyy", "mmm dd yyyy", false},
        {"7", "20", "01", "7", 20, "mmm d yyyy", "mmm dd yyyy", false},
        {"7", "2.6", "0", "7", 3, "d mmm yyyy", "dd mmm yyyy", false},
        {"7", "12.49", "0", "7", 12, "d mmm yyyy", "dd mmm yyyy", false},
        {"7", "20", "3", "7", 20, "d mmm yyyy", "dd mmm yyyy", true},
        {"7", "20", "12", "7", 20, "d mmm yyyy", "dd mmm yyyy", true},
        {"7", "20", "", "7", 20, "d mmm yyyy", "dd mmm yyyy", true},
    };
    for (const Case& c : cases) {
        ResetState();
        prompts.messages.clear();
        const QString ini = writeIni(
            {},
            {{S("CPULimit"), S(c.cpu)}, {S("MinJobLaunch"), S(c.minLaunch)}, {S("DateDisplayFormat"), S(c.dateFmt)}});
        const StartupValues v = run(ini);
        EXPECT_EQ(v.cpuLimit, S(c.wantCpu)) << c.cpu;
        EXPECT_EQ(G.gMinJobLaunch, c.wantMin) << c.minLaunch;
        EXPECT_EQ(G.gDateFmt, S(c.wantFmt)) << c.dateFmt;
        EXPECT_EQ(G.gDateFmtLong, S(c.wantLong)) << c.dateFmt;
        EXPECT_EQ(
            prompts.messages.contains(S("Date format specification invalid or not present,  \"d mmm yyyy\" assumed.")),
            c.warned)
            << c.dateFmt;
    }
}

TEST_F(StartupTest, AddressTemplateAndDummyProgramFallbacks) {
    const QString dummy = dir.write(S("bin/MRVDummy"), "#!/bin/sh\n");
    run(writeIni({}, {{S("EmailAddressModel"), S("Name,Address")}, {S("DummyProg"), dummy + S(".exe")}}));
    EXPECT_EQ(G.gEmailAddrFormat, S("Name,Address"));
    EXPECT_EQ(G.gDummyProg, dummy);
    ResetState();
    run(writeIni({}, {{S("EmailAddressModel"), S("Name")},
                      {S("EmailAddressFormat"), S("NAME <ADDRESS>")},
                      {S("DummyProg"), dir.path(S("gone/MRVDummy"))}}));
    EXPECT_EQ(G.gEmailAddrFormat, S("NAME <ADDRESS>"));
    EXPECT_TRUE(G.gDummyProg.endsWith(S("/MRVDummy")));
    EXPECT_FALSE(G.gDummyProg.contains(S("gone")));
}

TEST_F(StartupTest, AMissingHolidaysFileStops) {
    const QString ini = writeIni({}, {{S("PubHols"), dir.path(S("nohols.txt"))}});
    EXPECT_EQ(stop(ini), S("Cannot find Public Holidays File: ") + dir.path(S("nohols.txt")));
}

}  // namespace
