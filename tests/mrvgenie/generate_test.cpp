#include "mrvgenie/generate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "common/constants.h"
#include "common/ini.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tests/support/asuser.h"
#include "tests/support/fulldisk.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

namespace {

class GenerateTest : public SchedulerStateTest {
protected:
    GenerateTest() {
        QDir().mkpath(prog());
        clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 11, 12));
    }
    QString prog() const { return dir.path(S("bin")); }
    QString base(const char* name = "") const { return JoinPath(A.Base, S(name)); }
    QString setting(const char* key) const { return GetSetting(gAppName, gRegSection, S(key)); }

    // A generation by the genie in Programs (default: the fixture's bin), its
    // log's lines listed.
    GenerateResult run(const QString& Programs = QString()) {
        const QString programs = Programs.isEmpty() ? prog() : Programs;
        GenieLog log(GenieLogPath(programs, FormatDate(Now(), S("hhnnss"))), [this](const QString& l) { listed << l; });
        return DoGenerate(A, programs, log);
    }
    QStringList lines(const QString& path) const {
        QStringList out;
        ReadTextLines(path, &out);
        return out;
    }

    GenieAnswers A{dir.path(S("Morvenda")), S("PAYROLL"), S("Mon,Tue,Wed,Thu,Fri"), 0, S("dd mmm yyyy")};
    QStringList listed;
};

TEST_F(GenerateTest, MakesTheTreeTheConfigurationTheSeedsAndTheSettings) {
    const GenerateResult r = run();
    EXPECT_TRUE(r.Failures.isEmpty()) << r.Failures.join(S("\n")).toStdString();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();

    for (const char* folder : {"", "@Trigger", "@Email", "@Email/Addresses", "@Email/Messages", "@Email/Attachments",
                               "PAYROLL", "PAYROLL/Log", "PAYROLL/JobDoc", "PAYROLL/Tracker"})
        EXPECT_TRUE(QFileInfo(base(folder)).isDir()) << folder;
    EXPECT_EQ(QFileInfo(base("PAYROLL/PAYROLL.sch")).size(), 0);

    // Every key, in order, paths joined with "/".
    const QString b = A.Base;
    const QList<QPair<QString, QString>> expected = {
        {S("ScheduleName"), S("PAYROLL")},
        {S("ScheduleFile"), b + S("/PAYROLL/PAYROLL.sch")},
        {S("LogFile"), b + S("/PAYROLL/Log/yyyymmdd.log")},
        {S("TriggerPath"), b + S("/@Trigger")},
        {S("TrackerPath"), b + S("/PAYROLL/Tracker")},
        {S("DummyProg"), prog() + S("/MRVDummy")},
        {S("DummyModel"), S("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,OTT=On,RES=S,GO=Y")},
        {S("DayStart"), S("00:00")},
        {S("WorkDays"), S("Mon,Tue,Wed,Thu,Fri")},
        {S("TimerSecs"), S("60")},
        {S("LoopCheck"), S("Y")},
        {S("ShowFailedJobsWarning"), S("Y")},
        {S("EmailAddrPath"), b + S("/@Email/Addresses")},
        {S("EmailPath"), b + S("/@Email/Messages")},
        {S("EmailAttPath"), b + S("/@Email/Attachments")},
        {S("JobDocPath"), b + S("/PAYROLL/JobDoc")},
        {S("CPULimit"), S("999")},
        {S("RunTimeErrorText"), S("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR")},
        {S("PubHols"), b + S("/PubHols.phf")},
        {S("MinJobLaunch"), S("10")},
        {S("EmailAddressModel"), S("Address")},
        {S("xEmailAddressModel"), S("Name")},
        {S("yEmailAddressModel"), S("Address,Name")},
        {S("zEmailAddressModel"), S("Name,Address")},
        {S("DateDisplayFormat"), S("0")},
        {S("HelpPath"), prog()},
    };
    const QString ini = base("PAYROLL/PAYROLL.ini");
    EXPECT_EQ(IniDocument::load(ini).entries(S("Morvenda")), expected);
    EXPECT_EQ(lines(ini).first(), S("[Morvenda]"));

    EXPECT_EQ(lines(base("PubHols.phf")), (QStringList{S(";Public Holidays File"), S("01 jan 2027, New Year's Day"),
                                                       S("01 jan 2028, New Year's Day")}));

    const QString email = base("@Email/MRVEmail.Ini");
    const QList<QPair<QString, QString>> emailKeys = {
        {S("EmailPath"), b + S("/@Email/Messages")},
        {S("KickInterval"), S("60")},
        {S("DeleteAfter"), S("3")},
        {S("DateFormat"), S("dd mmm yyyy")},
        {S("ProfileName"), S("")},
        {S("SmtpServer"), S("localhost")},
        {S("SmtpPort"), S("25")},
        {S("SmtpTls"), S("none")},
        {S("SmtpFrom"), S("")},
        {S("SmtpUser"), S("")},
        {S("SmtpPassword"), S("")},
    };
    EXPECT_EQ(IniDocument::load(email).entries(S("MRVEmail")), emailKeys);
    EXPECT_EQ(QFile::permissions(email) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());

    EXPECT_EQ(setting("Current"), ini);
    EXPECT_EQ(setting("MRVEmailIni"), email);

    const QStringList readMe = lines(base("ReadMe.txt"));
    const QStringList block = {
        S("Morvenda Genie run on 08 Dec 2026 at 10:11:12"),
        S(""),
        S("Directory Structure"),
        S(""),
        S(".   The Morvenda root directory is \"") + b + S("\"."),
        S(""),
        S(".   The names of subdirectories within \"") + b + S("\" which hold data for Morvenda as a whole "),
        S("    are prefixed with \"@\"."),
        S(""),
        S(".   The names of subdirectories which hold data for individual schedules appear within \"") + b + S("\""),
        S("    with the specified schedule name.  This run of the Morvenda Genie has defined schedule \"") + b +
            S("/PAYROLL\"."),
        S(""),
        S(".   The above naming convention is intended to separately group the two sets of subdirectories"),
        S("    to facilitate visual navigation during directory browsing."),
        S(""),
        S("Following this run, the current subdirectories are defined in \"") + b + S("\"."),
        S(""),
        S("        @Email"),
        S("        @Trigger"),
        S("        PAYROLL"),
        S(""),
        S(""),
        S(""),
    };
    EXPECT_EQ(readMe, block);

    // The log: beside the program, one line per step, the same in the list.
    const QString logPath = prog() + S("/MRVG101112.log");
    const QStringList log = lines(logPath);
    ASSERT_EQ(log.size(), listed.size());
    EXPECT_EQ(log.first(), S("08 Dec 2026 10:11:12 Morvenda Genie Configuration Log"));
    EXPECT_EQ(listed.mid(0, 3),
              (QStringList{S("Morvenda Genie Configuration Log"), S(""), S("Folder ") + b + S(" created.")}));
    EXPECT_TRUE(listed.contains(S("PAYROLL Ini File created as \"") + ini + S("\"")));
    EXPECT_TRUE(listed.contains(S("Public Holidays File created as \"") + b + S("/PubHols.phf\"")));
    EXPECT_TRUE(listed.contains(S("MRVEmail Ini file created as ") + email));
    EXPECT_EQ(listed.last(), S("This log written to \"") + logPath + S("\""));
}

TEST_F(GenerateTest, LaterRunsKeepWhatIsThereAndNumberTheOldConfiguration) {
    run();
    // The operator's own changes to the shared files stay.
    dir.write(S("Morvenda/PubHols.phf"), ";mine\r\n25 Dec 2030,Christmas\r\n");
    IniPut(S("MRVEmail"), S("SmtpServer"), S("mail.example.org"), base("@Email/MRVEmail.Ini"));
    IniPut(S("Morvenda"), S("CPULimit"), S("7"), base("PAYROLL/PAYROLL.ini"));
    dir.write(S("Morvenda/PAYROLL/PAYROLL.sch"), "job line\r\n");

    for (const char* ext : {"000", "001"}) {
        listed.clear();
        prompts.messages.clear();
        clock.advance(60);
        const GenerateResult r = run();
        EXPECT_TRUE(r.Failures.isEmpty());
        EXPECT_EQ(r.BackupExt, S(ext));
        EXPECT_TRUE(r.PubHolsKept);
        EXPECT_TRUE(r.EmailIniKept);
        EXPECT_EQ(prompts.messages,
                  (QStringList{S("An existing ini file for this schedule in the specified location\n\n"
                                 "has been renamed with an extension of \"") +
                                   S(ext) + S("\""),
                               S("An existing Public Holidays File at the specified location has been retained")}));
        EXPECT_EQ(listed.filter(S(" already exists.")).size(), 10);
        EXPECT_TRUE(listed.contains(S("Existing Public Holidays File retained")));
        EXPECT_TRUE(listed.contains(S("Existing MRVEmail Ini File at ") + base("@Email/MRVEmail.Ini") +
                                    S(" has been retained.")));
    }
    EXPECT_EQ(IniGet(S("Morvenda"), S("CPULimit"), base("PAYROLL/PAYROLL.000")), S("7"));
    EXPECT_EQ(IniGet(S("Morvenda"), S("CPULimit"), base("PAYROLL/PAYROLL.001")), S("999"));
    EXPECT_EQ(IniGet(S("Morvenda"), S("CPULimit"), base("PAYROLL/PAYROLL.ini")), S("999"));
    EXPECT_EQ(dir.read(S("Morvenda/PubHols.phf")), QByteArray(";mine\r\n25 Dec 2030,Christmas\r\n"));
    EXPECT_EQ(dir.read(S("Morvenda/PAYROLL/PAYROLL.sch")), QByteArray("job line\r\n"));
    EXPECT_EQ(IniGet(S("MRVEmail"), S("SmtpServer"), base("@Email/MRVEmail.Ini")), S("mail.example.org"));
    EXPECT_EQ(setting("MRVEmailIni"), base("@Email/MRVEmail.Ini"));

    // Three blocks in the ReadMe, the first one unchanged.
    const QStringList readMe = lines(base("ReadMe.txt"));
    EXPECT_EQ(readMe.filter(S("Morvenda Genie run on ")),
              (QStringList{S("Morvenda Genie run on 08 Dec 2026 at 10:11:12"),
                           S("Morvenda Genie run on 08 Dec 2026 at 10:12:12"),
                           S("Morvenda Genie run on 08 Dec 2026 at 10:13:12")}));
}

TEST_F(GenerateTest, EachDisplayOrderAndOnlyPlainFoldersInTheReadMe) {
    const struct {
        int order;
        const char* format;
    } cases[] = {{0, "dd mmm yyyy"}, {1, "mmm dd yyyy"}, {2, "yyyy mmm dd"}};
    for (const auto& c : cases) {
        A.Base = dir.path(S("order%1").arg(c.order));
        A.DateOrder = c.order;
        A.EmailDateFormat = OrderEmailFormat(c.order);
        run();
        EXPECT_EQ(IniGet(S("Morvenda"), S("DateDisplayFormat"), base("PAYROLL/PAYROLL.ini")), QString::number(c.order));
        EXPECT_EQ(IniGet(S("MRVEmail"), S("DateFormat"), base("@Email/MRVEmail.Ini")), S(c.format));
    }

    // A base folder that holds files, a hidden folder and a link to a folder.
    A.Base = dir.path(S("busy"));
    dir.write(S("busy/notes.txt"), "x");
    dir.write(S("busy/.cache/x"), "x");
    dir.write(S("busy/Old Stuff/x"), "x");
    QFile::link(dir.path(S("busy/Old Stuff")), dir.path(S("busy/Link")));
    run();
    const QStringList readMe = lines(base("ReadMe.txt"));
    EXPECT_EQ(readMe.filter(S("        ")),
              (QStringList{S("        @Email"), S("        @Trigger"), S("        Old Stuff"), S("        PAYROLL")}));
}

TEST_F(GenerateTest, AFailedWriteStopsTheGenerationAndNoSettingNamesAMissingFile) {
    MRV_RUN_AS_USER();
    // A file where the e-mail folder belongs: nothing can go into it.
    dir.write(S("Morvenda/@Email"), "in the way");
    GenerateResult r = run();
    EXPECT_TRUE(listed.contains(S("Failed to create folder ") + base("@Email/Messages") + S(".")));
    EXPECT_EQ(listed.filter(S("Error No: ")).size(), 4);
    ASSERT_EQ(r.Failures.size(), 1);
    EXPECT_TRUE(r.Failures[0].startsWith(S("Failed to create the MRVEmail Ini file: "))) << r.Failures[0].toStdString();
    EXPECT_EQ(r.Written, (QStringList{base("PAYROLL/PAYROLL.ini"), base("PAYROLL/PAYROLL.sch"), base("PubHols.phf")}));
    EXPECT_EQ(prompts.messages, QStringList{S("The Morvenda Genie could not complete the installation:\n\n") +
                                            r.Failures[0] + S("\n\nFiles written:\n") + r.Written.join(S("\n")) +
                                            S("\n\nNot changed: the settings \"Current\" and \"MRVEmailIni\".") +
                                            S("\n\nThe log of this run: \"") + prog() + S("/MRVG101112.log\"")});
    EXPECT_FALSE(QFileInfo::exists(base("ReadMe.txt"))) << "nothing after the failure";
    EXPECT_FALSE(r.CurrentSet);
    EXPECT_FALSE(r.EmailIniSet);
    EXPECT_EQ(setting("Current"), S(""));
    EXPECT_EQ(setting("MRVEmailIni"), S(""));

    // A file where the schedule folder belongs: no configuration, nothing.
    A.Base = dir.path(S("second"));
    dir.write(S("second/PAYROLL"), "in the way");
    prompts.messages.clear();
    r = run();
    EXPECT_FALSE(r.CurrentSet);
    EXPECT_EQ(setting("Current"), S(""));
    EXPECT_EQ(r.Failures.filter(S("Failed to create the Ini File: ")).size(), 1);
    EXPECT_TRUE(r.Written.isEmpty());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(S("\n\nNo file was written.")));

    // A read-only base folder.
    ASSERT_TRUE(DeleteSetting(gAppName, gRegSection));
    A.Base = dir.path(S("locked"));
    QDir().mkpath(A.Base);
    QFile::setPermissions(A.Base, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    r = run();
    QFile::setPermissions(A.Base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(r.Failures.isEmpty());
    EXPECT_EQ(setting("Current"), S(""));
    EXPECT_EQ(setting("MRVEmailIni"), S(""));
}

// Run again over a good installation on a full disk: every old file keeps
// every byte (the configuration file too, under its own name), the settings
// still name the old files, and the closing message says what failed and why.
TEST_F(GenerateTest, AFullDiskNeverReplacesAGoodFile) {
    SmallDisk disk(1024 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    A.Base = disk.path(S("Morvenda"));
    ASSERT_TRUE(run().Failures.isEmpty());
    const QStringList files = {base("PAYROLL/PAYROLL.ini"), base("ReadMe.txt"), base("PubHols.phf"),
                               base("@Email/MRVEmail.Ini"), base("PAYROLL/PAYROLL.sch")};
    QList<QByteArray> before;
    for (const QString& f : files) before << disk.read(f);
    const QString current = setting("Current");

    disk.fill();
    prompts.messages.clear();
    const GenerateResult r = run();
    ASSERT_EQ(r.Failures.size(), 1);
    EXPECT_EQ(r.Failures[0], S("Failed to create the Ini File: Cannot write \"%1\": No space left on device")
                                 .arg(base("PAYROLL/PAYROLL.ini")));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(r.Failures[0]));
    EXPECT_TRUE(r.Written.isEmpty());
    for (qsizetype i = 0; i < files.size(); ++i) EXPECT_EQ(disk.read(files[i]), before[i]) << files[i].toStdString();
    EXPECT_FALSE(QFileInfo::exists(base("PAYROLL/PAYROLL.000")));
    EXPECT_EQ(setting("Current"), current);

    // With room again the old file moves aside and the new one is written.
    disk.unfill();
    prompts.messages.clear();
    EXPECT_TRUE(run().Failures.isEmpty());
    EXPECT_EQ(disk.read(base("PAYROLL/PAYROLL.000")), before[0]);
    EXPECT_TRUE(disk.read(base("ReadMe.txt")).startsWith(before[1]));
}

TEST(GenieRules, NameKeysOrdersAndWorkingDays) {
    for (const char* ok : {"a", "Z", "0", "_", "-", "\b"})
        EXPECT_EQ(FilterNameKey(QChar::fromLatin1(*ok)), QChar::fromLatin1(*ok)) << ok;
    for (const char* bad : {" ", ".", "/", ",", "\"", "*"})
        EXPECT_TRUE(FilterNameKey(QChar::fromLatin1(*bad)).isNull()) << bad;
    EXPECT_TRUE(FilterNameKey(QChar(0x00E9)).isNull());  // é is no file-name-safe letter here

    const struct {
        const char* format;
        int order;
    } probes[] = {{"dd/MM/yyyy", 0},  {"d.M.yy", 0},  {"M/d/yy", 1},    {"MM-dd-yyyy", 1},
                  {"yyyy-MM-dd", -1}, {"yy/M/d", -1}, {"'d'MM yy", -1}, {"", -1}};
    for (const auto& p : probes) EXPECT_EQ(ProbeDateOrder(S(p.format)), p.order) << p.format;

    EXPECT_EQ(OrderExample(2), S("Example: 2002 Apr 01"));
    EXPECT_EQ(OrderExample(-1), S(""));

    EXPECT_EQ(WorkDaysText({5, 1, 2}), S("Mon,Tue,Fri"));
    EXPECT_EQ(WorkDaysText({0, 6}), S("Sun,Sat"));
}

// The log stays beside a build tree's programs; an installation's folder and
// the system's program folders belong to the package (root may write there,
// and removing the package would leave the log behind).
TEST(GenieRules, LogBesideABuildTreeElseInTheStateFolder) {
    TempDir dir;
    ScopedEnv home("HOME", dir.path(S("home")).toLocal8Bit());
    QDir().mkpath(dir.path(S("build/bin")));
    QDir().mkpath(dir.path(S("usr/bin")));
    QDir().mkpath(dir.path(S("usr/share/morvenda/help")));
    const struct {
        const char* what;
        QString folder;
        const char* state;  // XDG_STATE_HOME, relative to dir; "" for unset
        QString log;
    } cases[] = {
        {"build tree", dir.path(S("build/bin")), "state", dir.path(S("build/bin/MRVG101112.log"))},
        {"missing folder", dir.path(S("gone")), "state", dir.path(S("state/Morvenda/MRVG101112.log"))},
        {"no folder", QString(), "state", dir.path(S("state/Morvenda/MRVG101112.log"))},
        {"installation", dir.path(S("usr/bin")), "state", dir.path(S("state/Morvenda/MRVG101112.log"))},
        {"system folder", S("/usr/bin"), "state", dir.path(S("state/Morvenda/MRVG101112.log"))},
        {"system folder, no XDG_STATE_HOME", S("/usr/bin"), "",
         dir.path(S("home/.local/state/Morvenda/MRVG101112.log"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnv state("XDG_STATE_HOME", *c.state ? dir.path(S(c.state)).toLocal8Bit() : QByteArray());
        const QString log = GenieLogPath(c.folder, S("101112"));
        EXPECT_EQ(log, c.log);
        EXPECT_TRUE(QFileInfo(QFileInfo(log).path()).isDir());
    }
}

// Run from an installation, the genie writes nothing into the programs'
// folder; the log's last line, and the closing message of a run that fails,
// say where the log went.
TEST_F(GenerateTest, AnInstalledGenieLogsIntoTheStateFolderAndSaysSo) {
    ScopedEnv state("XDG_STATE_HOME", dir.path(S("state")).toLocal8Bit());
    const QString programs = dir.path(S("usr/bin"));
    QDir().mkpath(programs);
    QDir().mkpath(dir.path(S("usr/share/morvenda/help")));
    const QString logPath = dir.path(S("state/Morvenda/MRVG101112.log"));
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failing run" : "good run");
        if (fails) {
            // A file where the e-mailer's folder belongs stops the second run.
            QDir(base("@Email")).removeRecursively();
            dir.write(S("Morvenda/@Email"), "in the way");
        }
        listed.clear();
        prompts.messages.clear();
        const GenerateResult r = run(programs);
        EXPECT_EQ(QDir(programs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
        EXPECT_TRUE(QFileInfo::exists(logPath));
        if (fails) {
            ASSERT_EQ(prompts.messages.size(), 1);
            EXPECT_TRUE(prompts.messages[0].endsWith(S("The log of this run: \"") + logPath + S("\"")))
                << prompts.messages[0].toStdString();
        } else {
            EXPECT_TRUE(r.Failures.isEmpty());
            EXPECT_EQ(listed.last(), S("This log written to \"") + logPath + S("\""));
        }
    }
}

// The genie writes "DummyProg" and "HelpPath" for the layout it runs from: the
// build tree (programs and pages in build/bin) or an installation (programs in
// <prefix>/bin, pages in <prefix>/share/morvenda); both name what exists.
TEST_F(GenerateTest, DummyProgAndHelpPathNameWhatTheGeniesLayoutHolds) {
    const QString prefix = dir.path(S("usr"));
    QDir().mkpath(prefix + S("/bin"));
    QDir().mkpath(prefix + S("/share/morvenda/help"));
    QFile::copy(qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin/MRVDummy"), prefix + S("/bin/MRVDummy"));
    dir.write(S("usr/share/morvenda/help/Startup.htm"), "<h1>Startup</h1>");
    const struct {
        const char* layout;
        QString programs;
        QString help;
    } cases[] = {
        {"build tree", qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin"),
         qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin")},
        {"installed", prefix + S("/bin"), prefix + S("/share/morvenda")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        GenieLog log(dir.path(S("genie.log")), [](const QString&) {});
        ASSERT_TRUE(DoGenerate(A, c.programs, log).Failures.isEmpty());
        const QString ini = base("PAYROLL/PAYROLL.ini");
        const QString dummy = IniGet(gAppName, S("DummyProg"), ini);
        const QString help = IniGet(gAppName, S("HelpPath"), ini);
        EXPECT_EQ(dummy, c.programs + S("/MRVDummy"));
        EXPECT_TRUE(QFileInfo(dummy).isExecutable()) << dummy.toStdString();
        EXPECT_EQ(QDir::cleanPath(help), QDir::cleanPath(c.help));
        EXPECT_TRUE(QFileInfo::exists(help + S("/help/Startup.htm"))) << help.toStdString();
    }
}

TEST(GenieRules, CallBackIsDeletedAndStartedOnlyWhenItExists) {
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    EXPECT_EQ(RunCallBack(), S(""));

    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, gCallBackKey, dir.path(S("missing"))));
    EXPECT_EQ(RunCallBack(), S(""));
    EXPECT_EQ(GetSetting(gAppName, gRegSection, gCallBackKey, S("gone")), S("gone"));

    // A file that is no program: forgotten too, and the reason comes back.
    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, gCallBackKey, dir.write(S("notes.txt"), "text")));
    QString error;
    EXPECT_EQ(RunCallBack(&error), S(""));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(GetSetting(gAppName, gRegSection, gCallBackKey, S("gone")), S("gone"));

    const QString marker = dir.path(S("started"));
    const QString program = dir.write(S("call back"), "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");
    QFile(program).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, gCallBackKey, program));
    EXPECT_EQ(RunCallBack(), program);
    EXPECT_EQ(GetSetting(gAppName, gRegSection, gCallBackKey, S("gone")), S("gone"));
    for (int i = 0; i < 100 && !QFileInfo::exists(marker); ++i) QTest::qWait(50);
    EXPECT_TRUE(QFileInfo::exists(marker));
}

}  // namespace
