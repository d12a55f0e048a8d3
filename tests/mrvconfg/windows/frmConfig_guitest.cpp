#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "common/constants.h"
#include "common/ini.h"
#include "common/settings.h"
#include "mrvconfg/windows/frmConfig.h"
#include "mrvconfg/windows/frmPubHol.h"
#include "tests/mrvconfg/confg_testing.h"
#include "tests/support/accessible.h"
#include "tests/support/companiontests.h"
#include "tests/support/fulldisk.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

using namespace confg;

namespace {

const QString kIniText =
    S("; the ACCOUNTS schedule\r\n"
      "[Morvenda]\r\n"
      "ScheduleName=ACCOUNTS\r\n"
      "ScheduleFile=@DIR@/ACCOUNTS.sch\r\n"
      "LogFile=@DIR@/Log/yyyymmdd.log\r\n"
      "TriggerPath=@DIR@/Trig\r\n"
      "TrackerPath=*Missing*\r\n"
      "PubHols=@DIR@/PubHols.phf\r\n"
      "DayStart=06:00\r\n"
      "WorkDays=Mon,Wed\r\n"
      "TimerSecs=45\r\n"
      "CPULimit=8\r\n"
      "LoopCheck=Y\r\n"
      "RunTimeErrorText=run-time error|FATAL|Critical\r\n"
      "EmailAddressModel=Address,Name\r\n"
      "DateDisplayFormat=1\r\n"
      "LastCompleted=7 Dec 2026\r\n"
      "AllowCritical=Y\r\n");

class ConfigWindow : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        gConfg = ConfgGlobals();
    }

    QString writeIni(const QString& name = S("ACCOUNTS.ini"), QString text = kIniText) {
        return dir.write(name, text.replace(S("@DIR@"), dir.path()).toUtf8());
    }
    QString key(const QString& ini, const char* k) const { return IniGet(gAppName, S(k), ini); }
    QLineEdit* box(MRVConfig& w, const char* name) { return Child<QLineEdit>(w, name); }
    QPushButton* browse(MRVConfig& w, int index) {
        for (QPushButton* b : w.findChildren<QPushButton*>(S("cmdBrowse")))
            if (b->property("Index").toInt() == index) return b;
        ADD_FAILURE() << "no browse button " << index;
        return nullptr;
    }
};

TEST_F(ConfigWindow, StartUpFindsTheFileOrSaysWhy) {
    const QString good = writeIni();
    const QString foreign = dir.write(S("other.ini"), "[Morvenda]\r\nScheduleFile=x\r\n");
    const QString missing = dir.path(S("gone.ini"));
    struct Case {
        QString commandLine;
        QString current;
        QStringList messages;
        bool loaded;
        bool found;  // a file exists at the path
    };
    const Case cases[] = {
        {QString(), QString(), {S("No Ini file specification available"), S("No Ini file specified")}, false, false},
        {QString(), missing, {S("No Ini file found at ") + missing}, false, false},
        {foreign, QString(), {S("The specified Ini file is not a valid Morvenda file")}, false, true},
        {QString(), good, {}, true, true},
        {S("  ") + good + S(" "), foreign, {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString() + " / " + c.current.toStdString());
        SaveSetting(gAppName, gRegSection, S("Current"), c.current);
        prompts.messages.clear();
        OpenConfig w(c.commandLine, false);
        EXPECT_EQ(prompts.messages, c.messages);
        EXPECT_EQ(Child<QLabel>(w, "lblIniFile")->text(), c.loaded                            ? good
                                                          : c.commandLine.trimmed().isEmpty() ? c.current
                                                                                              : c.commandLine);
        EXPECT_TRUE(Child<QPushButton>(w, "cmdOpenIni")->isEnabled());
        EXPECT_TRUE(Child<QPushButton>(w, "cmdClose")->isEnabled());
        EXPECT_EQ(Child<QPushButton>(w, "cmdSave")->isEnabled(), c.loaded);
        EXPECT_EQ(Child<QTabWidget>(w, "tabConfig")->isEnabled(), c.loaded);
        EXPECT_EQ(Child<QAction>(w, "mnuSaveAs")->isEnabled(), c.loaded);
        EXPECT_EQ(Child<QTabWidget>(w, "tabConfig")->currentIndex(), 0);
        EXPECT_EQ(w.helpTopic(), S("MRVConfg Files"));
        EXPECT_EQ(w.startIni().isEmpty(), !c.found);
        EXPECT_FALSE(w.DataChanged());
        if (c.loaded) {
            EXPECT_FALSE(Child<QPushButton>(w, "cmdChgERT")->isEnabled());
            EXPECT_FALSE(Child<QPushButton>(w, "cmdDelERT")->isEnabled());
        }
    }
}

TEST_F(ConfigWindow, ShowsEditsChecksAndSavesTheKeys) {
    const QString ini = writeIni();
    OpenConfig w(ini);
    EXPECT_EQ(w.windowTitle(), S("MRVConfg - Morvenda Configurator"));
    EXPECT_EQ(box(w, "txtStartTime")->text(), S("06:00"));
    EXPECT_EQ(box(w, "txtTimerSecs")->text(), S("45"));
    EXPECT_EQ(box(w, "txtTrackerPath")->text(), QString());
    EXPECT_TRUE(Child<QCheckBox>(w, "chkLoop")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(w, "chkShowFailed")->isChecked());
    auto* days = Child<QListWidget>(w, "lstWorkDays");
    EXPECT_EQ(SelectedTexts(days), (QStringList{S("Monday"), S("Wednesday")}));
    EXPECT_EQ(Child<QComboBox>(w, "cboDateDisplayFmt")->currentText(), S("mdy"));
    EXPECT_EQ(gConfg.gDisplayFmt, S("mmm dd yyyy"));
    EXPECT_EQ(Child<QComboBox>(w, "cboEmAdrModel")->currentIndex(), 3);
    EXPECT_EQ(Child<QListWidget>(w, "lstRunTimeErrorText")->count(), 3);
    EXPECT_EQ(gConfg.gHelpPath, QString());

    // Nothing changed: nothing written, nothing asked.
    const QByteArray before = dir.read(ini);
    EXPECT_TRUE(w.cmdSave_Click());
    EXPECT_EQ(dir.read(ini), before);
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The key filters keep letters out of the number boxes; a pasted text is
    // refused by the check and nothing is written.
    auto* cpu = box(w, "txtCPULimit");
    TypeInto(w, "txtCPULimit", S("1x2"));
    EXPECT_EQ(cpu->text(), S("12"));
    QTest::keyClicks(box(w, "txtStartTime"), S("a:"));
    EXPECT_EQ(box(w, "txtStartTime")->text(), S("06:00:"));
    box(w, "txtStartTime")->setText(S("7:5"));
    box(w, "txtTimerSecs")->clear();
    cpu->setText(S("abc"));
    prompts.messages.clear();
    EXPECT_FALSE(w.cmdSave_Click());
    EXPECT_EQ(prompts.messages, QStringList{S("Invalid CPU Limit")});
    EXPECT_EQ(dir.read(ini), before);
    EXPECT_TRUE(w.DataChanged());
    cpu->clear();
    Child<QComboBox>(w, "cboDateDisplayFmt")->setCurrentIndex(2);
    EXPECT_EQ(gConfg.gDisplayFmt, S("yyyy mmm dd"));
    EXPECT_EQ(Child<QComboBox>(w, "cboDateDisplayFmt")->toolTip(), S("2026 Dec 08"));
    days->item(5)->setSelected(true);
    Child<QTabWidget>(w, "tabConfig")->setCurrentIndex(1);
    EXPECT_EQ(w.helpTopic(), S("MRVConfg Sched"));

    prompts.messages.clear();
    Press(w, "mnuSave");
    EXPECT_TRUE(prompts.messages.isEmpty()) << "no default offer for a file from the command line";
    EXPECT_FALSE(w.DataChanged());
    EXPECT_EQ(box(w, "txtStartTime")->text(), S("07:05"));
    EXPECT_EQ(key(ini, "DayStart"), S("07:05"));
    EXPECT_EQ(key(ini, "CPULimit"), S("9999"));
    EXPECT_EQ(key(ini, "TimerSecs"), S("60"));
    EXPECT_EQ(key(ini, "DateDisplayFormat"), S("2"));
    EXPECT_EQ(key(ini, "Workdays"), S("Mon,Wed,Fri"));
    EXPECT_EQ(key(ini, "EmailAddressFormat"), S("Address,Name"));
    EXPECT_EQ(key(ini, "TrackerPath"), gMissingMark);
    EXPECT_EQ(key(ini, "LastCompleted"), S("7 Dec 2026"));
    EXPECT_EQ(key(ini, "RunTimeErrorText"), S("run-time error|FATAL|Critical")) << "texts unchanged, not rewritten";
    EXPECT_TRUE(QString::fromUtf8(dir.read(ini)).startsWith(S("; the ACCOUNTS schedule\r\n[Morvenda]\r\n")));

    // Help pages come from the configured folder.
    box(w, "txtHelpPath")->setText(dir.path(S("help")));
    w.LoadIniFile();
    EXPECT_EQ(gConfg.gHelpPath, QString()) << "the saved value, not the edited one";
    prompts.messages.clear();
    Press(w, "mnuHelpF1");
    EXPECT_EQ(prompts.messages, QStringList{S("Sorry - cannot find a help file matching \"%1/MRVConfg Sched.htm\"")
                                                .arg(QCoreApplication::applicationDirPath())});
}

// A save of another field keeps what every hand-edited key means to the
// scheduler; a date display format it would not take is refused until one is
// chosen, and nothing is written meanwhile.
TEST_F(ConfigWindow, ASaveOfAnotherFieldKeepsWhatTheKeysMean) {
    QString text = kIniText;
    text.replace(S("LoopCheck=Y\r\n"), S("LoopCheck=Yes\r\nShowFailedJobsWarning=yes\r\n"));
    text.replace(S("TimerSecs=45"), S("TimerSecs=2.6"));
    text.replace(S("DateDisplayFormat=1"), S("DateDisplayFormat=3"));
    const QString ini = writeIni(S("ACCOUNTS.ini"), text);
    OpenConfig w(ini);
    EXPECT_TRUE(Child<QCheckBox>(w, "chkLoop")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(w, "chkShowFailed")->isChecked());
    EXPECT_EQ(box(w, "txtTimerSecs")->text(), S("3"));
    EXPECT_EQ(Child<QComboBox>(w, "cboDateDisplayFmt")->currentIndex(), -1);

    box(w, "txtMinLaunch")->setText(S("20"));
    const QByteArray before = dir.read(ini);
    EXPECT_FALSE(w.cmdSave_Click());
    EXPECT_EQ(prompts.messages, QStringList{S("Date Display Format is invalid or is not specified.")});
    EXPECT_EQ(dir.read(ini), before);

    Child<QComboBox>(w, "cboDateDisplayFmt")->setCurrentIndex(0);
    ASSERT_TRUE(w.cmdSave_Click());
    EXPECT_EQ(key(ini, "MinJobLaunch"), S("20"));
    EXPECT_EQ(key(ini, "LoopCheck"), S("Y"));
    EXPECT_EQ(key(ini, "ShowFailedJobsWarning"), S("Y"));
    EXPECT_EQ(key(ini, "TimerSecs"), S("3")) << "as the scheduler rounded 2.6";
    EXPECT_EQ(key(ini, "DateDisplayFormat"), S("0"));
}

// Another program (the scheduler at exit) wrote the file after the window
// read it: Save puts back what the window shows, though nothing was edited
// here. A change to a key the window does not show leaves nothing to write.
TEST_F(ConfigWindow, SaveWritesWhatTheWindowShowsOverAFileChangedBehindIt) {
    const QString ini = writeIni();
    OpenConfig w(ini, false);
    box(w, "txtStartTime")->setText(S("18:00"));
    box(w, "txtCPULimit")->setText(S("4"));
    ASSERT_TRUE(w.cmdSave_Click());
    for (const auto& [k, v] : {std::pair{"DayStart", "00:00"}, {"CPULimit", "9999"}, {"RunTimeErrorText", "X"}})
        ASSERT_TRUE(IniPut(gAppName, S(k), S(v), ini));
    EXPECT_FALSE(w.DataChanged());
    ASSERT_TRUE(w.cmdSave_Click());
    EXPECT_EQ(key(ini, "DayStart"), S("18:00"));
    EXPECT_EQ(key(ini, "CPULimit"), S("4"));
    EXPECT_EQ(key(ini, "RunTimeErrorText"), S("RUN-TIME ERROR|FATAL|CRITICAL"));

    ASSERT_TRUE(IniPut(gAppName, S("LastCompleted"), S("8 Dec 2026"), ini));
    const QByteArray before = dir.read(ini);
    ASSERT_TRUE(w.cmdSave_Click());
    EXPECT_EQ(dir.read(ini), before);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ConfigWindow, RunTimeErrorTexts) {
    const QString ini = writeIni();
    OpenConfig w(ini);
    auto* list = Child<QListWidget>(w, "lstRunTimeErrorText");
    auto* change = Child<QPushButton>(w, "cmdChgERT");
    auto* del = Child<QPushButton>(w, "cmdDelERT");
    EXPECT_EQ(ItemTexts(list), (QStringList{S("RUN-TIME ERROR"), S("FATAL"), S("CRITICAL")}));

    w.cmdChgERT_Click();
    w.cmdDelERT_Click();
    prompts.queueInput(S("A|B"));
    w.cmdAddERT_Click();
    w.cmdAddERT_Click();  // the input box cancelled
    EXPECT_EQ(prompts.messages, (QStringList{S("Please select an entry before requesting change"),
                                             S("Please select an entry before requesting deletion"),
                                             S("Sorry, \"|\" characters are not allowed"), S("No change made")}));
    EXPECT_FALSE(w.textsChanged());
    prompts.queueInput(S(" has stopped "));
    w.cmdAddERT_Click();
    EXPECT_EQ(ItemTexts(list), (QStringList{S("RUN-TIME ERROR"), S("FATAL"), S("CRITICAL"), S(" HAS STOPPED ")}));
    EXPECT_TRUE(w.textsChanged());
    EXPECT_FALSE(w.settingsChanged());
    EXPECT_EQ(list->currentRow(), -1) << "an added text is not made current";

    Child<QTabWidget>(w, "tabConfig")->setCurrentIndex(1);
    list->setCurrentRow(1);
    EXPECT_TRUE(change->isEnabled());
    EXPECT_EQ(list->toolTip(), S("FATAL"));
    prompts.queueInput(S("fatal error"));
    ClickCell(list, list->model()->index(1, 0), 2);
    EXPECT_EQ(list->item(1)->text(), S("FATAL ERROR"));

    // Deleting the last entry makes the new last one current.
    list->setCurrentRow(3);
    NextAnswers(prompts, {MsgAnswer::No});
    w.cmdDelERT_Click();
    EXPECT_EQ(list->count(), 4);
    w.cmdDelERT_Click();
    EXPECT_EQ(prompts.messages, (QStringList{S("Delete the error recognition text entry for \" HAS STOPPED \"?"),
                                             S("Delete the error recognition text entry for \" HAS STOPPED \"?")}));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(list->toolTip(), S("CRITICAL"));
    list->setCurrentRow(0);
    w.cmdDelERT_Click();
    EXPECT_EQ(list->currentRow(), 0);
    w.cmdDelERT_Click();
    w.cmdDelERT_Click();
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_FALSE(change->isEnabled());
    EXPECT_FALSE(del->isEnabled());

    prompts.queueInput(S("Only one"));
    w.cmdAddERT_Click();
    // Only the texts changed: the other keys stay as they were written.
    IniPut(gAppName, S("TimerSecs"), S("45 by hand"), ini);
    ASSERT_TRUE(w.cmdSave_Click());
    EXPECT_EQ(key(ini, "RunTimeErrorText"), S("ONLY ONE"));
    EXPECT_EQ(key(ini, "TimerSecs"), S("45 by hand"));
}

TEST_F(ConfigWindow, AnAddedErrorTextIsNotCurrentThoughTheListTakesTheFocus) {
    OpenConfig w(writeIni());
    w.activateWindow();
    QTRY_VERIFY(w.isActiveWindow());
    Child<QTabWidget>(w, "tabConfig")->setCurrentIndex(1);
    auto* list = Child<QListWidget>(w, "lstRunTimeErrorText");
    prompts.queueInput(S("out of memory"));
    w.cmdAddERT_Click();
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(list->currentRow(), -1);
    w.cmdDelERT_Click();
    EXPECT_EQ(prompts.messages, QStringList{S("Please select an entry before requesting deletion")});
    EXPECT_EQ(list->count(), 4);
}

TEST_F(ConfigWindow, ClosingAsksAboutUnsavedEdits) {
    const QString ini = writeIni(S("sub/ACCOUNTS.ini"));
    const QByteArray before = dir.read(ini);
    {
        OpenConfig w(ini);
        EXPECT_TRUE(w.close()) << "no edits: no question";
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
    OpenConfig w(ini);
    box(w, "txtCPULimit")->setText(S("99999"));
    // The close box: Cancel keeps the window; Yes with a refused check keeps
    // it too; No closes without writing.
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_FALSE(w.close());
    prompts.queueAnswer(MsgAnswer::Yes);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(prompts.messages,
              (QStringList{S("Save changed data?"), S("Save changed data?"), S("Invalid CPU Limit")}));
    // The Exit menu asks the same.
    NextAnswers(prompts, {MsgAnswer::Cancel});
    Press(w, "mnuExit");
    EXPECT_TRUE(w.isVisible());
    box(w, "txtCPULimit")->setText(S("20"));
    // A file that cannot be written is reported, and the window stays.
    const QString moved = dir.path(S("moved"));
    ASSERT_TRUE(QDir().rename(dir.path(S("sub")), moved));
    NextAnswers(prompts, {MsgAnswer::Yes});
    Press(w, "mnuExit");
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(prompts.messages[1].startsWith(S("Cannot write \"%1\"").arg(ini))) << prompts.messages[1].toStdString();
    EXPECT_TRUE(w.DataChanged());
    ASSERT_TRUE(QDir().rename(moved, dir.path(S("sub"))));
    prompts.queueAnswer(MsgAnswer::Yes);
    Press(w, "mnuExit");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(key(ini, "CPULimit"), S("20"));
    EXPECT_NE(dir.read(ini), before);
}

TEST_F(ConfigWindow, SaveAsCopiesTheFileAndOffersTheDefault) {
    const QString ini = writeIni();
    IniPut(gAppName, S("MysteryKey"), S("kept"), ini);
    const QString other = dir.write(S("Other.Ini"), "[Morvenda]\r\nScheduleName=OTHER\r\n");
    OpenConfig w(ini);
    box(w, "txtMinLaunch")->setText(S("20"));

    // A cancelled dialog does nothing at all.
    CancelDialog();
    Press(w, "mnuSaveAs");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(w.currentIni(), ini);

    // No at the overwrite question leaves everything where it was.
    ChooseInDialog(other);
    prompts.queueAnswer(MsgAnswer::No);
    Press(w, "mnuSaveAs");
    EXPECT_EQ(prompts.messages, QStringList{S("File \"%1\" already exists.  Do you want to overwrite it?").arg(other)});
    EXPECT_EQ(w.currentIni(), ini);
    EXPECT_EQ(key(other, "ScheduleName"), S("OTHER"));
    EXPECT_EQ(key(ini, "MinJobLaunch"), QString());

    // A new file: a copy of the old one with the edits, then the offer.
    prompts.messages.clear();
    const QString copy = dir.path(S("Copy.Ini"));
    ChooseInDialog(copy);
    Press(w, "mnuSaveAs");
    EXPECT_EQ(prompts.messages,
              QStringList{S("Do you wish to make the schedule for this Inifile the default Morvenda schedule on this "
                            "computer?")});
    EXPECT_EQ(w.currentIni(), copy);
    EXPECT_EQ(w.startIni(), copy);
    EXPECT_EQ(Child<QLabel>(w, "lblIniFile")->text(), copy);
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), copy);
    for (const char* k : {"ScheduleName", "MysteryKey", "LastCompleted", "AllowCritical", "TrackerPath"})
        EXPECT_EQ(key(copy, k), key(ini, k)) << k;
    EXPECT_EQ(key(copy, "MinJobLaunch"), S("20"));
    EXPECT_EQ(key(ini, "MinJobLaunch"), QString()) << "the old file keeps its own values";
    EXPECT_FALSE(w.DataChanged());

    // Onto the file in hand (Yes): its unknown keys survive too.
    NextAnswers(prompts, {MsgAnswer::Yes, MsgAnswer::No});
    ChooseInDialog(copy);
    Press(w, "mnuSaveAs");
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_EQ(key(copy, "MysteryKey"), S("kept"));
    EXPECT_EQ(key(copy, "ScheduleName"), S("ACCOUNTS"));
}

// On a full disk Save, Save As and the close question's Yes say why, keep the
// window open with the edits, and leave every file as it was.
TEST_F(ConfigWindow, AFailedSaveKeepsTheFileAndTheWindow) {
    SmallDisk disk(256 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    const QString ini = disk.path(S("ACCOUNTS.ini"));
    ASSERT_TRUE(QFile::copy(writeIni(), ini));
    const QByteArray before = disk.read(ini);
    OpenConfig w(ini);
    box(w, "txtMinLaunch")->setText(S("20"));
    disk.fill();
    const QString reason = S("Cannot write \"%1\": No space left on device").arg(ini);

    Child<QPushButton>(w, "cmdSave")->click();
    EXPECT_EQ(prompts.messages, QStringList{reason});
    EXPECT_TRUE(w.DataChanged());

    prompts.messages.clear();
    const QString copy = disk.path(S("Copy.Ini"));
    ChooseInDialog(copy);
    Press(w, "mnuSaveAs");
    EXPECT_EQ(prompts.messages, QStringList{S("Cannot write \"%1\": No space left on device").arg(copy)});
    EXPECT_FALSE(QFileInfo::exists(copy));

    NextAnswers(prompts, {MsgAnswer::Yes});
    Child<QPushButton>(w, "cmdClose")->click();
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(disk.read(ini), before);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{S(".filler"), S("ACCOUNTS.ini")}));

    // With room again the pending Save As writes the whole copy.
    disk.unfill();
    NextAnswers(prompts, {MsgAnswer::No});
    Child<QPushButton>(w, "cmdSave")->click();
    EXPECT_EQ(key(copy, "MinJobLaunch"), S("20"));
    EXPECT_EQ(key(copy, "AllowCritical"), S("Y"));
    EXPECT_EQ(disk.read(ini), before);
    EXPECT_FALSE(w.DataChanged());
}

TEST_F(ConfigWindow, OpenAsksBeforeDroppingEditsAndOffersTheDefault) {
    const QString ini = writeIni();
    const QString second = writeIni(S("Second.ini"), QString(kIniText).replace(S("ACCOUNTS"), S("SECOND")));
    IniPut(gAppName, S("DayStart"), S("05:00"), second);
    // Started without a file: only Open and Close work.
    OpenConfig w{QString()};
    prompts.messages.clear();
    ChooseInDialog(ini);
    Child<QPushButton>(w, "cmdOpenIni")->click();
    EXPECT_EQ(w.windowTitle(), S("Morvenda INI file: ") + ini);
    EXPECT_TRUE(Child<QTabWidget>(w, "tabConfig")->isEnabled());
    EXPECT_EQ(prompts.messages.size(), 1) << "the default offer";

    box(w, "txtStartTime")->setText(S("8:15"));
    NextAnswers(prompts, {MsgAnswer::Cancel});
    Child<QPushButton>(w, "cmdOpenIni")->click();  // no dialog: Cancel stops first
    EXPECT_EQ(prompts.messages, QStringList{S("Save changed data?")});
    EXPECT_EQ(box(w, "txtStartTime")->text(), S("8:15"));

    // Yes saves the edits (the first save since the editor started without
    // a file offers the default again), then the other file is loaded and
    // offered.
    NextAnswers(prompts, {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::No});
    ChooseInDialog(second);
    Press(w, "mnuOpen");
    EXPECT_EQ(prompts.messages.size(), 3);
    EXPECT_EQ(key(ini, "DayStart"), S("08:15"));
    EXPECT_EQ(w.currentIni(), second);
    EXPECT_EQ(box(w, "txtStartTime")->text(), S("05:00"));
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), ini) << "the first offer was taken";
}

TEST_F(ConfigWindow, BrowseFillsThePathBoxes) {
    const QString ini = writeIni();
    const QString mixed = dir.path(S("Trig/MixedCase"));
    QDir().mkpath(mixed);
    const QString sched = dir.write(S("Sched/Daily.SCH.sch"), "");
    OpenConfig w(ini);
    auto* trigger = box(w, "txtTriggerPath");

    struct Case {
        QString before;
        bool choose;
        QString after;
    };
    const Case cases[] = {
        {dir.path(S("Trig/")), false, dir.path(S("Trig"))},
        {S("/"), false, S("/")},
        {dir.path(S("Trig")), true, mixed},
    };
    for (const Case& c : cases) {
        trigger->setText(c.before);
        if (c.choose)
            ChooseFolder(mixed);
        else
            CancelFolderChooser();
        browse(w, kTriggerPath)->click();
        EXPECT_EQ(trigger->text(), c.after);
    }

    // The log file: the note first, then the dialog; a cancel keeps the text.
    const QString log = box(w, "txtLogFile")->text();
    prompts.messages.clear();
    CancelDialog();
    browse(w, kLogFile)->click();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Please note that occurrences of lower case date components in\n")));
    EXPECT_EQ(box(w, "txtLogFile")->text(), log);

    ChooseInDialog(sched);
    browse(w, kScheduleFile)->click();
    EXPECT_EQ(box(w, "txtScheduleFile")->text(), sched) << "the case of the path is kept";
    EXPECT_TRUE(w.settingsChanged());
}

TEST_F(ConfigWindow, EveryControlHasAnAccessibleName) {
    OpenConfig w(writeIni(), false);
    // Every named control, the inner parts of combo boxes and lists aside.
    const QMap<QString, QString> names = ExpectAccessibleNames(&w);
    for (const QString& name : names)
        EXPECT_FALSE(name.contains(QLatin1Char('&')) || name.contains(QLatin1Char(':'))) << name.toStdString();
    EXPECT_GE(names.size(), 30);
    EXPECT_EQ(box(w, "txtMsgAddrPath")->accessibleName(), S("Email Address Folder"));
    EXPECT_EQ(Child<QComboBox>(w, "cboEmAdrModel")->accessibleName(), S("Email Address Model"));
    EXPECT_EQ(Child<QPushButton>(w, "cmdPubHols")->accessibleName(), S("Public Holidays"));
}

}  // namespace
