#include "mrvconfg/config.h"

#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/ini.h"
#include "morvenda/core/state.h"
#include "morvenda/startup/startup.h"
#include "mrvconfg/pubholidays.h"
#include "tests/support/quiethost.h"
#include "tests/support/testing.h"

using namespace confg;

namespace {

TEST(ConfgValidation, StartTimeKickIntervalCpuLimitAndDateFormat) {
    struct Case {
        const char* time;
        const char* timer;
        const char* cpu;
        int format;           // position in the date display format list
        const char* message;  // "" = valid
        const char* timeAfter;
        const char* timerAfter;
        const char* cpuAfter;
    };
    const char* badTime = "Schedule Start Time is invalid or is not specified.";
    const char* badTimer = "Invalid Default Kick Interval";
    const char* badFormat = "Date Display Format is invalid or is not specified.";
    const Case cases[] = {
        {"7:5", "45", "12", 0, "", "07:05", "45", "12"},
        {"23:59", "0", "0", 2, "", "23:59", "0", "0"},
        {"00:00", "  ", "", 1, "", "00:00", "60", "9999"},
        {"24:00", "", "", 0, badTime, "24:00", "", ""},
        {"12:60", "", "", 0, badTime, "12:60", "", ""},
        {"1200", "", "", 0, badTime, "1200", "", ""},
        {":30", "", "", 0, badTime, ":30", "", ""},
        {"123:00", "", "", 0, badTime, "123:00", "", ""},
        {" 7:00", "", "", 0, badTime, " 7:00", "", ""},
        {"7:", "", "", 0, badTime, "7:", "", ""},
        {"7:a0", "", "", 0, badTime, "7:a0", "", ""},
        {"", "", "", 0, badTime, "", "", ""},
        {"06:00", "abc", "", 0, badTimer, "06:00", "abc", ""},
        {"06:00", "30", "abc", 0, "Invalid CPU Limit", "06:00", "30", "abc"},
        {"06:00", "30", "32768", 0, "Invalid CPU Limit", "06:00", "30", "32768"},
        {"06:00", "30", "-1", 0, "Invalid CPU Limit", "06:00", "30", "-1"},
        {"06:00", "30", "32767", 0, "", "06:00", "30", "32767"},
        // Whole seconds only: the scheduler would round what the box shows.
        {"06:00", "2.6", "", 0, badTimer, "06:00", "2.6", ""},
        {"06:00", "-5", "", 0, badTimer, "06:00", "-5", ""},
        {"06:00", "99999999999", "", 0, badTimer, "06:00", "99999999999", ""},
        {"06:00", " 45 ", "", 0, "", "06:00", "45", "9999"},
        // No format chosen, or one the list does not hold (a hand-edited
        // key the scheduler refuses).
        {"06:00", "30", "8", -1, badFormat, "06:00", "30", "8"},
        {"06:00", "30", "8", 3, badFormat, "06:00", "30", "8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.time) + " / " + c.timer + " / " + c.cpu + " / " + std::to_string(c.format));
        ConfigSettings s;
        s.paths[kScheduleFile] = S("/srv/a.sch");
        s.paths[kLogFile] = S("/srv/yyyymmdd.log");
        s.StartTime = S(c.time);
        s.TimerSecs = S(c.timer);
        s.CPULimit = S(c.cpu);
        s.DateDisplayFormat = c.format;
        EXPECT_EQ(Valid(s), S(c.message));
        EXPECT_EQ(s.StartTime, S(c.timeAfter));
        if (S(c.message) != S(badTime)) {
            EXPECT_EQ(s.TimerSecs, S(c.timerAfter));
            EXPECT_EQ(s.CPULimit, S(c.cpuAfter));
        }
    }
    // The paths are checked first.
    ConfigSettings s;
    s.paths[kLogFile] = S("x");
    EXPECT_EQ(Valid(s), S("Schedule file not specified."));
    s.paths[kScheduleFile] = S("x");
    s.paths[kLogFile] = S("  ");
    EXPECT_EQ(Valid(s), S("Log file not specified."));
    EXPECT_EQ(CharMask(S("a1:Z-"), S("-")), S("A0:AA"));
}

TEST(ConfgKeys, WorkDaysErrorTextsAndFolders) {
    struct Days {
        const char* value;
        const char* saved;
    };
    const Days days[] = {
        {"Mon,Wed", "Mon,Wed"},
        {"mon", "Mon"},
        {" Tue , FRI", "Tue,Fri"},
        {"Mon,,Wed", "Mon"},  // up to the first empty field
        {",Mon", ""},
        {"Saturday,Sun", "Sun,Sat"},
        {"", ""},
        {"Xyz", ""},
    };
    for (const Days& d : days) EXPECT_EQ(WorkDaysValue(ReadWorkDays(S(d.value))), S(d.saved)) << d.value;

    EXPECT_EQ(ReadErrorTexts(S("run-time error|HAS PERFORMED AN ILLEGAL")),
              (QStringList{S("RUN-TIME ERROR"), S("HAS PERFORMED AN ILLEGAL")}));
    EXPECT_EQ(ReadErrorTexts(S("a||b|")), (QStringList{S("A"), S("B")}));
    EXPECT_EQ(ReadErrorTexts(QString()), QStringList());
    EXPECT_EQ(ReadErrorTexts(S(" spaced |x")), (QStringList{S(" SPACED "), S("X")}));

    struct Refusal {
        QString text;
        QString message;
    };
    const Refusal refusals[] = {
        {S(""), S("No change made")},
        {S("   "), S("No change made")},
        {S("BAD\u00acTEXT"), S("Sorry, \"\u00ac\" characters are not allowed")},
        {S("A|B"), S("Sorry, \"|\" characters are not allowed")},
        {S("SAY \"NO\""), S("Sorry, double quote characters are not allowed")},
        {S(" fine text "), QString()},
    };
    for (const Refusal& r : refusals) EXPECT_EQ(ErrorTextRefusal(r.text), r.message) << r.text.toStdString();

    EXPECT_EQ(MinOf(2, 1), 1);
    EXPECT_EQ(MinOf(0, -1), -1);
    EXPECT_EQ(MinOf(3, 3), 3);

    EXPECT_EQ(TrimFolder(S("/srv/trig/")), S("/srv/trig"));
    EXPECT_EQ(TrimFolder(S("/srv/Trig")), S("/srv/Trig"));
    EXPECT_EQ(TrimFolder(S("/")), S("/"));
    EXPECT_EQ(TrimFolder(QString()), QString());

    // The two flags are ticked as the scheduler reads them: on when the
    // first letter is "Y" in either case.
    TempDir dir;
    const std::pair<const char*, bool> flags[] = {{"Y", true},          {"y", true},     {" Y ", true}, {"Yes", true},
                                                  {"yes please", true}, {"N", false},    {"No", false}, {"", false},
                                                  {"-1", false},        {"True", false}, {"AY", false}};
    for (const auto& [value, ticked] : flags) {
        const QString ini = dir.write(S("flags.ini"), QByteArray("[Morvenda]\r\nLoopCheck=") + value +
                                                          "\r\nShowFailedJobsWarning=" + value + "\r\n");
        const ConfigSettings f = ReadConfigSettings(IniDocument::load(ini));
        EXPECT_EQ(f.LoopCheck, ticked) << value;
        EXPECT_EQ(f.ShowFailed, ticked) << value;
    }

    // A kick interval with a fraction shows as the scheduler rounds it; a
    // date display format the scheduler refuses shows no choice, an empty
    // one the format it takes instead.
    struct Loaded {
        const char* timer;
        const char* timerShown;
        const char* format;
        int formatShown;
    };
    const Loaded loaded[] = {
        {"2.6", "3", "0", 0}, {"2.4", "2", "1", 1}, {"45 seconds", "45", "2", 2},
        {"", "0", "", 0},     {"7", "7", "01", 1},  {"7", "7", "12", -1},
        {"7", "7", "3", -1},  {"7", "7", "-1", -1}, {"7", "7", "1x", -1},
    };
    for (const Loaded& l : loaded) {
        const ConfigSettings f = ReadConfigSettings(IniDocument::fromText(
            S("[Morvenda]\r\nTimerSecs=%1\r\nDateDisplayFormat=%2\r\n").arg(S(l.timer), S(l.format))));
        EXPECT_EQ(f.TimerSecs, S(l.timerShown)) << l.timer;
        EXPECT_EQ(f.DateDisplayFormat, l.formatShown) << l.format;
    }
}

// Every key goes through a real file and comes back; what the editor does
// not know stays where it was.
TEST(ConfgKeys, EveryKeyRoundTripsThroughAFile) {
    TempDir dir;
    const QByteArray original =
        "; written by hand\r\n"
        "[Morvenda]\r\n"
        "ScheduleName=ACCOUNTS\r\n"
        "ScheduleFile=/srv/acc/ACCOUNTS.sch\r\n"
        "LogFile=/srv/acc/Log/yyyymmdd.log\r\n"
        "TriggerPath=/srv/@Trigger\r\n"
        "TrackerPath=*Missing*\r\n"
        "; the e-mail folders\r\n"
        "EmailAddrPath=/srv/@Email/Addresses\r\n"
        "EmailPath=/srv/@Email/Messages\r\n"
        "EmailAttPath=/srv/@Email/Attachments\r\n"
        "JobDocPath=/srv/acc/JobDoc\r\n"
        "PubHols=/srv/PubHols.phf\r\n"
        "DummyProg=/opt/morvenda/MRVDummy\r\n"
        "DummyModel=%DummyProg% JN=%JobName%\r\n"
        "DayStart=06:30\r\n"
        "WorkDays=mon,Tue,wed\r\n"
        "TimerSecs=45 seconds\r\n"
        "LoopCheck=y\r\n"
        "ShowFailedJobsWarning=N\r\n"
        "CPULimit=\r\n"
        "RunTimeErrorText=run-time error||Critical\r\n"
        "MinJobLaunch=15\r\n"
        "EmailAddressModel=Name,Address\r\n"
        "xEmailAddressModel=Name\r\n"
        "DateDisplayFormat=2\r\n"
        "HelpPath=/srv/help\r\n"
        "AllowCritical=Y\r\n"
        "LastCompleted=7 Dec 2026\r\n"
        "\r\n"
        "[Other]\r\n"
        "Key=kept\r\n";
    const QString ini = dir.write(S("sched.ini"), original);
    const ConfigSettings s = ReadConfigSettings(IniDocument::load(ini));
    EXPECT_EQ(s.paths[kScheduleFile], S("/srv/acc/ACCOUNTS.sch"));
    EXPECT_EQ(s.paths[kTrackerPath], QString()) << "the marker shows as an empty box";
    EXPECT_EQ(s.paths[kHelpPath], S("/srv/help"));
    EXPECT_EQ(s.TimerSecs, S("45"));
    EXPECT_EQ(s.CPULimit, S("0"));
    EXPECT_TRUE(s.LoopCheck);
    EXPECT_FALSE(s.ShowFailed);
    EXPECT_EQ(WorkDaysValue(s.WorkDays), S("Mon,Tue,Wed"));
    EXPECT_EQ(s.DateDisplayFormat, 2);
    EXPECT_EQ(s.EmailAddressModel, S("Name,Address"));
    EXPECT_EQ(s.ErrorTexts, (QStringList{S("RUN-TIME ERROR"), S("CRITICAL")}));

    IniDocument doc = IniDocument::load(ini);
    WriteSettingKeys(doc, s);
    WriteErrorTexts(doc, s.ErrorTexts);
    ASSERT_TRUE(doc.save(ini));
    // Only the values the editor puts into their normal form change, and the
    // address template goes to the key the scheduler reads first.
    QString expected = QString::fromUtf8(original);
    expected.replace(S("WorkDays=mon,Tue,wed"), S("WorkDays=Mon,Tue,Wed"));
    expected.replace(S("TimerSecs=45 seconds"), S("TimerSecs=45"));
    expected.replace(S("LoopCheck=y"), S("LoopCheck=Y"));
    expected.replace(S("CPULimit=\r\n"), S("CPULimit=0\r\n"));
    expected.replace(S("RunTimeErrorText=run-time error||Critical"), S("RunTimeErrorText=RUN-TIME ERROR|CRITICAL"));
    expected.replace(S("LastCompleted=7 Dec 2026\r\n"),
                     S("LastCompleted=7 Dec 2026\r\nEmailAddressFormat=Name,Address\r\n"));
    EXPECT_EQ(QString::fromUtf8(dir.read(ini)), expected);

    // What was written reads back the same.
    const ConfigSettings again = ReadConfigSettings(IniDocument::load(ini));
    EXPECT_EQ(again.paths, s.paths);
    EXPECT_EQ(again.ErrorTexts, s.ErrorTexts);
    EXPECT_EQ(again.WorkDays, s.WorkDays);
    EXPECT_EQ(again.EmailAddressModel, s.EmailAddressModel);

    // The template the scheduler reads first wins over the older key; a date
    // format out of range shows no choice and is never written as one.
    IniDocument both = IniDocument::fromText(
        S("[Morvenda]\r\nEmailAddressModel=Address\r\nEmailAddressFormat=NAME <ADDRESS>\r\nDateDisplayFormat=3\r\n"));
    const ConfigSettings t = ReadConfigSettings(both);
    EXPECT_EQ(t.EmailAddressModel, S("NAME <ADDRESS>"));
    EXPECT_EQ(t.DateDisplayFormat, -1);
    WriteSettingKeys(both, t);
    EXPECT_EQ(both.value(gAppName, S("DateDisplayFormat")), S("3"));
    EXPECT_EQ(both.value(gAppName, S("EmailAddressModel")), S("Address"));
    EXPECT_EQ(both.value(gAppName, S("LogFile")), gMissingMark) << "an empty optional path is marked";
    EXPECT_EQ(both.value(gAppName, S("DummyProg")), QString());
}

// A configuration and a holidays file written by the editor alone start the
// scheduler without a single message.
TEST(ConfgKeys, SchedulerStartsOnWhatTheEditorWrote) {
    ResetState();
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toUtf8());
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    const QString sched = dir.write(S("ACC.sch"), "");
    const QString hols = dir.path(S("PubHols.phf"));
    QString error;
    ASSERT_TRUE(WritePHFile(hols, {S("25 Dec 2026 (Christmas Day)"), S("2027 Jun 01 (Midsummer, observed)")}, &error))
        << error.toStdString();

    ConfigSettings s;
    s.paths[kScheduleFile] = sched;
    s.paths[kLogFile] = dir.path(S("yyyymmdd.log"));
    s.paths[kPubHols] = hols;
    s.paths[kTriggerPath] = dir.path();
    s.StartTime = S("6:0");
    s.TimerSecs = S("30");
    s.CPULimit = S("");
    s.LoopCheck = true;
    s.ShowFailed = true;
    s.WorkDays = ReadWorkDays(S("Mon,Tue,Wed,Thu"));
    s.DateDisplayFormat = 1;
    s.MinLaunch = S("12");
    s.EmailAddressModel = S("Name,Address");
    s.ErrorTexts = {S("RUN-TIME ERROR"), S("FATAL")};
    ASSERT_EQ(Valid(s), QString());

    const QString ini = dir.path(S("ACC.ini"));
    IniDocument doc;
    doc.setValue(gAppName, S("ScheduleName"), S("ACC"));
    WriteSettingKeys(doc, s);
    WriteErrorTexts(doc, s.ErrorTexts);
    ASSERT_TRUE(doc.save(ini));

    QuietHost host;
    const StartupValues v = RunStartupSequence(ini, host);
    EXPECT_EQ(prompts.messages, QStringList());
    EXPECT_EQ(v.startTime, S("06:00"));
    EXPECT_EQ(v.cpuLimit, S("9999"));
    EXPECT_EQ(G.gSchedFile, sched);
    EXPECT_TRUE(G.gTrackerPath.isEmpty());
    EXPECT_EQ(G.gDateFmt, S("mmm d yyyy"));
    EXPECT_EQ(G.gWorkdays, S("Mon,Tue,Wed,Thu"));
    EXPECT_EQ(G.gEmailAddrFormat, S("Name,Address"));
    EXPECT_EQ(G.gRunTimeErrorText, S("RUN-TIME ERROR|FATAL"));
    EXPECT_EQ(G.gMinJobLaunch, 12);
    EXPECT_TRUE(G.gShowFailedWarn);
    EXPECT_EQ(G.gPubHols, (std::vector<DateVal>{DateVal::fromDate(2026, 12, 25), DateVal::fromDate(2027, 6, 1)}));
    // The scheduler wrote nothing back: no key was missing.
    EXPECT_EQ(IniGet(gAppName, S("TrackerPath"), ini), gMissingMark);
    ResetState();
}

}  // namespace
