#include "morvenda/startup/startup.h"

#include "common/checks.h"
#include "common/clock.h"
#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/pubhols.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/execution/execution.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

const QChar kQuote = QLatin1Char('"');

QString Read(const QString& key) { return IniGet(gAppName, key, G.gIniFile); }

bool YesFlag(const QString& value) { return value.trimmed().left(1).toUpper() == QLatin1String("Y"); }

}  // namespace

SchedulerCommandLine ParseSchedulerCommandLine(const QString& commandLine) {
    SchedulerCommandLine cl;
    cl.iniFile = GetLineField(commandLine, 1, kQuote, QLatin1Char(',')).trimmed();
    cl.temporary = GetLineField(commandLine, 2, kQuote, QLatin1Char(','))
                       .trimmed()
                       .compare(QLatin1String("TEMP"), Qt::CaseInsensitive) == 0;
    return cl;
}

QString IniGetWarn(const QString& Key, QString& MissingList, const QString& Marker, QString* NotMarked) {
    const QString value = Read(Key);
    if (value.isEmpty()) {
        MissingList += QStringLiteral(", ") + Key;
        QString why;
        if (!IniPut(gAppName, Key, Marker, G.gIniFile, &why) && NotMarked && NotMarked->isEmpty()) *NotMarked = why;
        return QString();
    }
    if (value == Marker) return QString();
    return value;
}

void CheckScheduleIni(const QString& Path) {
    // Missing keys are written back only into a file that is a schedule
    // configuration file: any other file named by mistake (a schedule file, a
    // binary file) is left exactly as it is.
    IniDocument doc;
    QString reason;
    if (!QFileInfo(Path).isFile()) {
        reason = QStringLiteral("it is not a file");
    } else if (!IniDocument::loadForUpdate(Path, &doc, &reason)) {
        // reason says why it cannot be read
    } else if (!doc.hasSection(gAppName)) {
        reason = QStringLiteral("it has no \"[") + gAppName + QStringLiteral("]\" section");
    }
    if (!reason.isEmpty())
        FatalClose(kQuote + Path + QStringLiteral("\" is not a Morvenda configuration file: ") + reason);
}

bool ValidDateDisplayFormat(const QString& Value) {
    if (Value.isEmpty() || !QStringLiteral("012").contains(Value)) return false;
    const qint64 v = Val(Value);
    return v >= 0 && v <= 2;
}

QString InitialRunDateText(const QString& dayStart) {
    // The clock's today, also after a dummy run of another date: the window
    // offers the run date the clock is in.
    const DateVal now = Now();
    const DateVal start = ParseDate(dayStart.trimmed()).value_or(DateVal());
    const DateVal todayStart = now.datePart().addSeconds(start.secondsOfDay());
    // Today's run day has begun once the clock first showed its start: a
    // restart in the hour an autumn clock change repeats keeps the run date.
    const DateVal runDate = NowReal() < FirstReal(todayStart) ? now.addDays(-1) : now;
    return FormatDate(runDate, G.gDateFmt);
}

namespace {

// Which configuration file, checked; whether the first-run window chose it.
bool ChooseIniFile(const QString& commandLine, StartupHost& host) {
    // Which configuration file: the command line at the first start, else the
    // default of this computer, else the first-run window.
    const SchedulerCommandLine cl = ParseSchedulerCommandLine(commandLine);
    if (G.gIniFile.isEmpty()) G.gIniFile = cl.iniFile;
    if (!G.gIniFile.isEmpty())
        G.gIniTemp = cl.temporary;
    else
        G.gIniFile = GetSetting(gAppName, gRegSection, QStringLiteral("Current"));
    // A file found through the first-run window becomes this computer's
    // default only once it has passed every check below: a broken file must
    // not stop every later start.
    bool firstRun = false;
    if (G.gIniFile.isEmpty()) {
        G.gIniFile = host.firstRunFile();
        firstRun = true;
        if (G.gIniFile.isEmpty()) throw FatalStop(QStringLiteral("No configuration file chosen"));
    }
    if (!PathExists(G.gIniFile)) FatalClose(QStringLiteral("Cannot find INI file: ") + G.gIniFile);
    CheckScheduleIni(G.gIniFile);
    return firstRun;
}

// The schedule's name and file, then the folders and files it works with.
void ReadIniPaths() {
    QString missing;
    G.gSchedName = IniGetWarn(QStringLiteral("ScheduleName"), missing, QString());
    G.gSchedFile = IniGetWarn(QStringLiteral("ScheduleFile"), missing, QString());
    if (!missing.isEmpty())
        FatalClose(QStringLiteral("The following mandatory specifications are missing from the INI file\n\n") +
                   missing.mid(2));

    missing.clear();
    QString notMarked;
    G.gLogFile = IniGetWarn(QStringLiteral("LogFile"), missing, gMissingMark, &notMarked);
    G.gEmailAddrPath = IniGetWarn(QStringLiteral("EmailAddrPath"), missing, gMissingMark, &notMarked);
    G.gTriggerPath = IniGetWarn(QStringLiteral("TriggerPath"), missing, gMissingMark, &notMarked);
    G.gTrackerPath = IniGetWarn(QStringLiteral("TrackerPath"), missing, gMissingMark, &notMarked);
    G.gJobDocPath = IniGetWarn(QStringLiteral("JobDocPath"), missing, gMissingMark, &notMarked);
    G.gEmailPath = IniGetWarn(QStringLiteral("EmailPath"), missing, gMissingMark, &notMarked);
    G.gEmailAttPath = IniGetWarn(QStringLiteral("EmailAttPath"), missing, gMissingMark, &notMarked);
    G.gPubHolsFile = IniGetWarn(QStringLiteral("PubHols"), missing, gMissingMark, &notMarked);
    // The promise holds only when the keys were marked in the file.
    if (!missing.isEmpty())
        MsgBox(QStringLiteral("The following optional specifications are missing from the INI file\n\n") +
                   missing.mid(2) +
                   (notMarked.isEmpty() ? QStringLiteral(".\n\nThis warning will not appear again.")
                                        : QStringLiteral(".\n\nThey could not be marked in the file, so this "
                                                         "warning will appear again: ") +
                                              notMarked),
               MsgButtons::Ok, MsgIcon::Information);

    G.gHelpPath = Read(QStringLiteral("HelpPath"));
    G.gJobIndexFile = G.gTriggerPath.isEmpty() ? QString() : JoinPath(G.gTriggerPath, QStringLiteral("Triggers.Lst"));
}

void ReadDateFormat() {
    QString fmt = Read(QStringLiteral("DateDisplayFormat"));
    if (!ValidDateDisplayFormat(fmt)) {
        MsgBox(QStringLiteral("Date format specification invalid or not present,  \"d mmm yyyy\" assumed."),
               MsgButtons::Ok, MsgIcon::Warning);
        fmt = QStringLiteral("0");
    }
    const int order = Val(fmt) == 1 || Val(fmt) == 2 ? static_cast<int>(Val(fmt)) : 0;
    G.gDateFmt = DisplayDateMask(order, false);
    G.gDateFmtLong = DisplayDateMask(order, true);
}

void ReadSchedulingOptions() {
    if (!G.gPubHolsFile.isEmpty() && !PathExists(G.gPubHolsFile))
        FatalClose(QStringLiteral("Cannot find Public Holidays File: ") + G.gPubHolsFile);

    G.gWorkdays = Read(QStringLiteral("WorkDays"));
    if (G.gWorkdays.isEmpty()) G.gWorkdays = QStringLiteral("Mon,Tue,Wed,Thu,Fri");
    G.gAllowCritical = Read(QStringLiteral("AllowCritical")).toUpper() == QLatin1String("Y");
    G.gMinJobLaunch = ClampToInt16(RoundedVal(Read(QStringLiteral("MinJobLaunch"))));
    if (G.gMinJobLaunch == 0) G.gMinJobLaunch = 10;
    // The key the configuration editor writes takes effect when the one the
    // scheduler reads first is not set.
    G.gEmailAddrFormat = Read(QStringLiteral("EmailAddressFormat"));
    if (G.gEmailAddrFormat.isEmpty()) G.gEmailAddrFormat = Read(QStringLiteral("EmailAddressModel"));
    if (G.gEmailAddrFormat.isEmpty()) G.gEmailAddrFormat = QStringLiteral("Address");
}

// What the start window shows: start time, run date, CPU limit, schedule.
void ReadStartValues(StartupValues& out) {
    out.startTime = Read(QStringLiteral("DayStart")).trimmed();
    if (out.startTime.isEmpty()) out.startTime = QStringLiteral("00:00");
    out.runDateText = InitialRunDateText(out.startTime);
    G.gRunDate = ParseDate(out.runDateText).value_or(Now().datePart()).datePart();

    const qint64 cpu = Val(Read(QStringLiteral("CPULimit")));
    out.cpuLimit = cpu == 0 ? QStringLiteral("9999") : QString::number(cpu);

    out.schedTooltip = Read(QStringLiteral("ScheduleFile"));
    out.schedCaption = QStringLiteral("Schedule: ") + G.gSchedName;
}

void ReadProgramOptions() {
    G.gDummyProg = ExistingProgram(Read(QStringLiteral("DummyProg")));
    if (G.gDummyProg.isEmpty()) G.gDummyProg = JoinPath(ProgramFolder(), QStringLiteral("MRVDummy"));
    G.gDummyModel = Read(QStringLiteral("DummyModel"));
    if (G.gDummyModel.isEmpty()) G.gDummyModel = gDefaultDummyModel;
    G.gLoopCheck = YesFlag(Read(QStringLiteral("LoopCheck")));
    G.gShowFailedWarn = YesFlag(Read(QStringLiteral("ShowFailedJobsWarning")));
    G.gRunTimeErrorText = Read(QStringLiteral("RunTimeErrorText")).toUpper();
}

}  // namespace

StartupValues RunStartupSequence(const QString& commandLine, StartupHost& host) {
    StartupValues out;
    G.gStartingUp = true;
    G.gGeniePath = JoinPath(ProgramFolder(), QStringLiteral("MRVGenie"));
    host.showSplash();
    // The splash is hidden and unloaded when start-up ends, also when it
    // ends the program.
    struct SplashGuard {
        StartupHost& host;
        ~SplashGuard() { host.hideSplash(); }
    } splashGuard{host};
    G.gProgTitle = QStringLiteral("Morvenda v %1.%2").arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR);
    G.gFixedDrives = ListDrives();
    G.gDumManFile = true;
    G.gDumGenMsg = false;
    G.gGroupFilter = gAllGroups;

    const bool firstRun = ChooseIniFile(commandLine, host);
    ReadIniPaths();
    ReadDateFormat();
    ReadSchedulingOptions();
    ReadStartValues(out);
    ReadProgramOptions();

    // The status decision at load needs the run day's start.
    G.gDayStart = DateVal::fromSeconds(ParseDate(out.startTime).value_or(DateVal()).secondsOfDay());
    SetStartTimes();

    CheckPubHolFile();
    LoadSchedule();
    // What the run journal holds since the last save belongs to the schedule.
    RecoverRun();
    if (firstRun) SaveSetting(gAppName, gRegSection, QStringLiteral("Current"), G.gIniFile);

    G.gStartingUp = false;
    // The splash goes with the guard, as on every other way out.
    return out;
}
