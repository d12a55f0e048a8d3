#include "morvenda/windows/frmSched.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringListModel>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

class frmSchedTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        UseTempScheduler(dir);
        G.gTriggerPath = dir.path(S("trg"));
        QDir().mkpath(G.gTriggerPath);
        G.gHelpPath = dir.path(S("help"));
        G.gSchedName = S("TEST");
        G.gProgTitle = S("Morvenda - TEST");
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gDayStart = DateVal::fromSeconds(6 * 3600);
        G.gMinJobLaunch = 10;
    }

    // A job without a command line: it runs from one pass to the next.
    static int addJob(const QString& name, const QString& after = QString()) { return AddJob(name, {}, after); }
    JobRec& job(int j) { return Job(j); }
    QString log() const { return QString::fromUtf8(dir.read(S("20261208.log"))); }
    QStringList progress() const { return G.ProgList ? G.ProgList->stringList() : QStringList(); }

    // The window shown, its run date started (the first pass has run).
    std::unique_ptr<frmSched> open(bool showEvents = false) {
        auto w = std::make_unique<frmSched>(showEvents);
        w->show();
        EXPECT_TRUE(QTest::qWaitFor([] { return G.ProgList && G.ProgList->rowCount() > 0; }, 5000));
        return w;
    }
    static QPoint rowCentre(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }
};

TEST_F(frmSchedTest, LoadListsTheRunDateAndRunsTheFirstPass) {
    addJob(S("NULLJOB"));
    const int later = addJob(S("LATER"));
    job(later).EarlyStartText = S("23:00");
    auto w = open();

    EXPECT_EQ(w->windowTitle(), S("Morvenda - TEST"));
    EXPECT_EQ(Child<QLabel>(*w, "lblTitle")->text(), S("Morvenda - TEST"));
    EXPECT_EQ(Child<QGroupBox>(*w, "fraStatus")->title(), S("Started on 08-Dec-26 @ 10:00:00"));
    EXPECT_EQ(Child<QLabel>(*w, "lblRelDays")->text(),
              S("Tuesday, 8 Dec 2026\n (+8CDOM, -24CDOM, +6WDOM, -18WDOM, +2Tue, -4Tue)"));
    EXPECT_EQ(Child<QLabel>(*w, "lblSchedStart")->text(), S("06:00"));
    EXPECT_TRUE(log().contains(S("10:00:00 Starting")));

    const QStringList lines = progress();
    EXPECT_TRUE(lines.contains(S("NULLJOB  (Daily)\tscheduled")));
    EXPECT_TRUE(lines.contains(S("2 Job(s) scheduled.")));
    EXPECT_EQ(lines.back(), S("NULLJOB  (Daily) \tSubmitted at 10:00:00"));
    auto* list = Child<QListView>(*w, "lstProgList");
    EXPECT_EQ(list->model(), G.ProgList);
    EXPECT_EQ(list->selectionModel()->currentIndex().row(), lines.size() - 1);

    EXPECT_EQ(ItemTexts(Child<QListWidget>(*w, "lsbUnsub")), QStringList{S("LATER   \tToo early (23:00)")});
    // One job runs with a last duration of 30: a pass every 15 seconds.
    auto* timer = Child<QTimer>(*w, "tmrKick");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 15000);
    EXPECT_EQ(Child<QLabel>(*w, "lblKick")->text(), S("30/15 seconds"));
    EXPECT_EQ(w->frameGeometry().height(), frmSched::kHeightListsHidden / 15);  // frame included

    EXPECT_FALSE(Child<QPushButton>(*w, "cmdNextDay")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*w, "cmdModSched")->isEnabled());
    EXPECT_TRUE(Child<QAction>(*w, "mnuViewLog")->isEnabled());
    EXPECT_FALSE(Child<QAction>(*w, "mnuTrigger")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*w, "cmdHelp")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(*w, "lblFailed")->isHidden());
}

TEST_F(frmSchedTest, KickIntervalKickAndTimerDriveTheRunToCompletion) {
    const int a = addJob(S("FIRST"));
    const int b = addJob(S("SECOND"), S("FIRST"));
    auto w = open();
    ASSERT_EQ(job(a).JobState, jsRunning);
    ASSERT_EQ(job(b).JobState, jsScheduled);

    Child<QPushButton>(*w, "CmdKickInt")->click();
    EXPECT_EQ(Child<QTimer>(*w, "tmrKick")->interval(), 30000);
    EXPECT_EQ(Child<QLabel>(*w, "lblKick")->text(), S("30/30 seconds"));
    // Each second the display counts down to the next pass.
    {
        auto* countdown = Child<QTimer>(*w, "tmrCountdown");
        ASSERT_TRUE(countdown->isActive());
        QSignalSpy ticks(countdown, &QTimer::timeout);
        ASSERT_TRUE(ticks.wait(3000));
        const QString shown = Child<QLabel>(*w, "lblKick")->text();
        ASSERT_TRUE(shown.startsWith(S("30/")) && shown.endsWith(S(" seconds"))) << shown.toStdString();
        const int left = shown.mid(3).section(QLatin1Char(' '), 0, 0).toInt();
        EXPECT_GE(left, 1);
        EXPECT_LT(left, 30);
    }

    // Kick: the first job ends and, in the same pass, the second starts.
    QFile::remove(G.gSchedFile);
    Child<QAction>(*w, "mnuScheduleKick")->trigger();
    EXPECT_EQ(job(a).JobState, jsCompleted);
    EXPECT_EQ(job(b).JobState, jsRunning);
    EXPECT_TRUE(progress().contains(S("FIRST   \tCompleted at 10:00:00 (Duration 00:00:00)")));
    EXPECT_TRUE(QFile::exists(G.gSchedFile));  // a pass that changed a job saved the schedule

    // The timer presses Kick: the last job ends and the schedule completes.
    Child<QTimer>(*w, "tmrKick")->setInterval(10);
    ASSERT_TRUE(QTest::qWaitFor([] { return G.gSchedComplete; }, 5000));
    EXPECT_EQ(job(b).JobState, jsCompleted);
    EXPECT_EQ(IniGet(gAppName, S("LastCompleted"), G.gIniFile), S("8 Dec 2026"));
    EXPECT_TRUE(Child<QPushButton>(*w, "cmdNextDay")->isEnabled());
    EXPECT_TRUE(Child<QAction>(*w, "mnuScheduleNext")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*w, "CmdKickInt")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*w, "cmdSuspend")->isEnabled());
    EXPECT_FALSE(Child<QAction>(*w, "mnuScheduleSuspend")->isEnabled());
}

TEST_F(frmSchedTest, SuspendTogglesCaptionColourAndSubmission) {
    const int j = addJob(S("WAITING"));
    G.gSuspended = true;  // the start-up window's Start Suspended option
    auto w = open();
    auto* suspend = Child<QPushButton>(*w, "cmdSuspend");
    EXPECT_EQ(suspend->text(), S("Un&suspend"));
    EXPECT_TRUE(suspend->styleSheet().contains(S("0, 255, 0")));
    EXPECT_EQ(job(j).JobState, jsScheduled);  // the first pass submitted nothing

    struct Step {
        const char* press;  // button or menu item
        const char* caption;
        bool suspended;
    };
    const Step steps[] = {
        {"cmdSuspend", "&Suspend", false},
        {"mnuScheduleSuspend", "Un&suspend", true},
        {"mnuScheduleSuspend", "&Suspend", false},
    };
    for (const Step& s : steps) {
        Press(*w, s.press);
        EXPECT_EQ(suspend->text(), S(s.caption)) << s.press;
        EXPECT_EQ(G.gSuspended, s.suspended) << s.press;
        EXPECT_EQ(suspend->styleSheet().contains(S("0, 255, 0")), s.suspended) << s.press;
    }
    Child<QPushButton>(*w, "cmdKick")->click();
    EXPECT_EQ(job(j).JobState, jsRunning);
}

// The Kick button shows green while its pass works, though no window events
// run in the middle of the pass.
TEST_F(frmSchedTest, KickButtonIsPaintedGreenDuringThePass) {
    addJob(S("WAITING"));
    auto w = open();
    auto* kick = Child<QPushButton>(*w, "cmdKick");
    QTest::qWait(20);

    struct PaintWatch : QObject {
        QPushButton* button = nullptr;
        bool green = false;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (o == button && e->type() == QEvent::Paint && button->styleSheet().contains(S("0, 255, 0")))
                green = true;
            return false;
        }
    } watch;
    watch.button = kick;
    kick->installEventFilter(&watch);
    kick->click();
    kick->removeEventFilter(&watch);
    EXPECT_TRUE(watch.green);
    EXPECT_FALSE(kick->styleSheet().contains(S("0, 255, 0"))) << "plain again after the pass";
}

// Padded name, tab, text: the text starts in one column whatever the name's
// length and letters, in both lists that show job names so.
TEST_F(frmSchedTest, ListsStartTheTextAfterTheNameInOneColumn) {
    const QStringList names{S("A"),        S("IIIIIII"), S("IIIIIIII"), S("ABCDEFG"),
                            S("ABCDEFGH"), S("WWWWWWW"), S("WWWWWWWW"), S("MMMMMMMM")};
    for (const QString& name : names) job(addJob(name)).WaitForFile = dir.path(S("none.dat"));
    auto w = open(true);
    for (const char* name : {"lsbUnsub", "lsbEvents"}) {
        SCOPED_TRACE(name);
        auto* list = Child<QListWidget>(*w, name);
        ASSERT_EQ(list->count(), names.size());
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.widget = list;
        const QFontMetrics fm = list->fontMetrics();
        int column = -1;
        for (int row = 0; row < list->count(); ++row) {
            const QString text = list->item(row)->text();
            const QString tail = text.mid(text.indexOf(QLatin1Char('\t')) + 1);
            const int end = list->itemDelegate()->sizeHint(option, list->model()->index(row, 0)).width();
            const int start = end - fm.horizontalAdvance(tail);
            if (column < 0) column = start;
            EXPECT_EQ(start, column) << text.toStdString();
            EXPECT_GT(start, fm.horizontalAdvance(text.left(8))) << text.toStdString();
        }
    }
}

TEST_F(frmSchedTest, ShowEventsTogglesCaptionListsAndHeight) {
    addJob(S("ONE"));
    auto w = open();
    auto* button = Child<QPushButton>(*w, "cmdShowEvents");
    EXPECT_EQ(button->text(), S("Show E&vents/Unsubmitted Job Status"));
    EXPECT_FALSE(Child<QListWidget>(*w, "lsbEvents")->isVisible());

    struct Step {
        const char* caption;
        bool shown;
        int twips;
    };
    const Step steps[] = {
        {"Hide E&vents/Unsubmitted Job Status", true, frmSched::kHeightListsShown},
        {"Show E&vents/Unsubmitted Job Status", false, frmSched::kHeightListsHidden},
    };
    for (const Step& s : steps) {
        Child<QAction>(*w, "mnuViewEvents")->trigger();
        EXPECT_EQ(button->text(), S(s.caption));
        for (const char* name : {"lblUnsubJob", "lblEvents", "lsbEvents", "lsbUnsub"})
            EXPECT_EQ(Child<QWidget>(*w, name)->isVisible(), s.shown) << name;
        EXPECT_EQ(w->frameGeometry().height(), s.twips / 15);
    }

    // The start-up window's Show Events option shows them from the start.
    w.reset();
    auto shown = open(true);
    EXPECT_EQ(Child<QPushButton>(*shown, "cmdShowEvents")->text(), S("Hide E&vents/Unsubmitted Job Status"));
    EXPECT_TRUE(Child<QLabel>(*shown, "lblUnsubJob")->isVisible());
    EXPECT_EQ(shown->frameGeometry().height(), frmSched::kHeightListsShown / 15);
}

TEST_F(frmSchedTest, ExitAsksWhileTheScheduleIsIncompleteThenSavesAndLogs) {
    const QString question =
        S("The Schedule is not yet complete.  It will be resumed from the point of interruption "
          "when next run for the current run date.\nOK to Exit?");
    enum class How { Button, Menu, Escape };
    for (How how : {How::Button, How::Menu, How::Escape}) {
        SCOPED_TRACE(static_cast<int>(how));
        const int j = addJob(S("LATER"));
        job(j).EarlyStartText = S("23:00");
        QFile::remove(G.gSchedFile);
        prompts.messages.clear();
        frmSched w(false);
        auto closeIt = [&] {
            if (how == How::Button)
                Child<QPushButton>(w, "cmdExit")->click();
            else if (how == How::Menu)
                Child<QAction>(w, "mnuExit")->trigger();
            else
                QTest::keyClick(&w, Qt::Key_Escape);
        };
        bool openAfterCancel = false;
        bool savedAfterCancel = true;
        QTimer::singleShot(0, &w, [&] {
            EXPECT_TRUE(QTest::qWaitFor([] { return G.ProgList && G.ProgList->rowCount() > 0; }, 5000));
            prompts.queueAnswer(MsgAnswer::Cancel);
            closeIt();
            openAfterCancel = w.isVisible();
            savedAfterCancel = QFile::exists(G.gSchedFile);
            prompts.queueAnswer(MsgAnswer::Ok);
            closeIt();
        });
        w.exec();
        EXPECT_TRUE(openAfterCancel);
        EXPECT_FALSE(savedAfterCancel);
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(prompts.messages, (QStringList{question, question}));
        EXPECT_TRUE(QFile::exists(G.gSchedFile));
        EXPECT_TRUE(log().trimmed().endsWith(S("Closing")));
        EXPECT_FALSE(Child<QTimer>(w, "tmrKick")->isActive());
        G.Jobs.resize(1);
    }

    // A complete schedule closes without the question.
    prompts.messages.clear();
    frmSched w(false);
    QTimer::singleShot(0, &w, [&] {
        EXPECT_TRUE(QTest::qWaitFor([] { return G.gSchedComplete; }, 5000));
        Child<QPushButton>(w, "cmdExit")->click();
    });
    w.exec();
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(frmSchedTest, NextDayAsksThenRollsTheDateAndStartsItsFirstPass) {
    const int j = addJob(S("ONLY"));
    auto w = open(true);
    Child<QPushButton>(*w, "cmdKick")->click();
    ASSERT_TRUE(G.gSchedComplete);
    auto* nextDay = Child<QPushButton>(*w, "cmdNextDay");
    ASSERT_TRUE(nextDay->isEnabled());
    const int width = w->width();

    prompts.queueAnswer(MsgAnswer::No);
    nextDay->click();
    EXPECT_EQ(prompts.messages.back(), S("Are you sure you want to rollover to the next day's schedule?"));
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 8));

    prompts.queueAnswer(MsgAnswer::Yes);
    Child<QAction>(*w, "mnuScheduleNext")->trigger();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 9));
    EXPECT_TRUE(log().contains(S("End of day for Tuesday 8 Dec 2026 ----------------------------------------")));
    EXPECT_TRUE(Child<QLabel>(*w, "lblRelDays")->text().startsWith(S("Wednesday, 9 Dec 2026")));
    // The new day's first pass: its day has not started yet.
    EXPECT_EQ(job(j).JobState, jsScheduled);
    EXPECT_EQ(job(j).StatusText, S("Too early (06:00)"));
    // The new run date starts with what the completion had turned off on;
    // Next Day stays offered, and the window keeps its width.
    EXPECT_TRUE(nextDay->isEnabled());
    EXPECT_TRUE(Child<QAction>(*w, "mnuScheduleNext")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*w, "cmdSuspend")->isEnabled());
    for (int day = 10; day < 20; ++day) {
        prompts.queueAnswer(MsgAnswer::Yes);
        nextDay->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(w->width(), width) << day;
    }
    EXPECT_TRUE(Child<QPushButton>(*w, "CmdKickInt")->isEnabled());
    // The lists stay shown at the new run date.
    EXPECT_EQ(Child<QPushButton>(*w, "cmdShowEvents")->text(), S("Hide E&vents/Unsubmitted Job Status"));
}

TEST_F(frmSchedTest, EventsDoubleClickForcesTheTriggerAfterTheWarningOnce) {
    const int a = addJob(S("EXTA"));
    job(a).WaitForFile = dir.path(S("a.dat"));
    const int b = addJob(S("EXTB"));
    job(b).WaitForFile = dir.path(S("b.dat"));
    auto w = open(true);
    auto* events = Child<QListWidget>(*w, "lsbEvents");
    auto* trigger = Child<QAction>(*w, "mnuTrigger");
    ASSERT_EQ(ItemTexts(events), (QStringList{S("EXTA    \tFile(") + dir.path(S("a.dat")) + S(")"),
                                              S("EXTB    \tFile(") + dir.path(S("b.dat")) + S(")")}));

    // The warning's No leaves the job waiting; it is not asked again.
    QTest::mouseClick(events->viewport(), Qt::LeftButton, {}, rowCentre(events, 0));
    EXPECT_TRUE(trigger->isEnabled());
    EXPECT_EQ(w->execution().EventsSelected, 0);
    prompts.queueAnswer(MsgAnswer::No);
    QTest::mouseDClick(events->viewport(), Qt::LeftButton, {}, rowCentre(events, 0));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Forced triggering will have no effect on the real event.")));
    EXPECT_TRUE(prompts.messages[0].endsWith(S("Proceed to trigger the event(EXTA    \tFile(") + dir.path(S("a.dat")) +
                                             S("))?")));
    EXPECT_EQ(job(a).JobState, jsScheduled);

    QTest::mouseDClick(events->viewport(), Qt::LeftButton, {}, rowCentre(events, 0));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(job(a).JobState, jsRunning);
    EXPECT_TRUE(progress().contains(S("EXTA\tForced file trigger at 10:00:00")));
    EXPECT_FALSE(trigger->isEnabled());
    EXPECT_EQ(ItemTexts(events), QStringList{S("EXTB    \tFile(") + dir.path(S("b.dat")) + S(")")});
    EXPECT_EQ(events->item(0)->data(Qt::UserRole).toInt(), w->execution().Events[0].data);

    // The menu item triggers the selected entry the same way.
    QTest::mouseClick(events->viewport(), Qt::LeftButton, {}, rowCentre(events, 0));
    trigger->trigger();
    EXPECT_EQ(job(b).JobState, jsRunning);
    EXPECT_TRUE(ItemTexts(events).isEmpty());
}

TEST_F(frmSchedTest, UnsubPopupActsOnTheRowUnderThePointer) {
    const int early = addJob(S("EARLY"));
    job(early).EarlyStartText = S("23:00");
    const int late = addJob(S("LATE"), S("EARLY"));
    auto w = open(true);
    auto* unsub = Child<QListWidget>(*w, "lsbUnsub");
    auto* popup = Child<QMenu>(*w, "puUnsub");
    ASSERT_EQ(ItemTexts(unsub),
              (QStringList{S("EARLY   \tToo early (23:00)"), S("LATE    \tWait Job (EARLY(S) - Not Started)")}));

    QTest::mouseClick(unsub->viewport(), Qt::LeftButton, {}, rowCentre(unsub, 0));
    EXPECT_EQ(unsub->toolTip(), S("EARLY    Too early (23:00)"));

    // Only the right button, pressed and released over a row, opens it.
    const QPoint below(rowCentre(unsub, 1).x(), unsub->visualItemRect(unsub->item(1)).bottom() + 20);
    struct Case {
        Qt::MouseButton button;
        QPoint release;
        bool opens;
    };
    const Case cases[] = {{Qt::LeftButton, rowCentre(unsub, 1), false},
                          {Qt::RightButton, below, false},
                          {Qt::RightButton, rowCentre(unsub, 1), true}};
    for (const Case& c : cases) {
        unsub->setCurrentRow(0);
        QTest::mousePress(unsub->viewport(), c.button, {}, rowCentre(unsub, 1));
        QTest::mouseRelease(unsub->viewport(), c.button, {}, c.release);
        EXPECT_EQ(popup->isVisible(), c.opens);
        if (c.opens) {
            EXPECT_EQ(w->execution().UnsubSelected, 1);
        }
    }

    Child<QAction>(*w, "puStatus")->trigger();
    popup->hide();
    EXPECT_EQ(prompts.messages.back(), S("Job LATE     status: Wait Job (EARLY(S) - Not Started)"));
    EXPECT_EQ(unsub->toolTip(), S("Wait Job (EARLY(S) - Not Started)"));

    prompts.queueAnswer(MsgAnswer::Yes);
    Child<QAction>(*w, "puForceSub")->trigger();
    EXPECT_EQ(job(late).SchedFlag, S("S"));
    EXPECT_TRUE(progress().contains(S("Job LATE scheduled for forced submission.")));
    Child<QPushButton>(*w, "cmdKick")->click();
    EXPECT_EQ(job(late).JobState, jsRunning);
    EXPECT_EQ(job(early).JobState, jsScheduled);
    EXPECT_EQ(ItemTexts(unsub), QStringList{S("EARLY   \tToo early (23:00)")});
}

TEST_F(frmSchedTest, ProgressListTooltipAndNewestLine) {
    const int pay = addJob(S("PAY"));
    job(pay).JobDesc = S("  Pays everyone  ");
    addJob(S("NODESC"));
    auto w = open();
    auto* list = Child<QListView>(*w, "lstProgList");
    struct Case {
        const char* line;
        const char* tip;
    };
    const Case cases[] = {
        {"PAY      (Daily)\tscheduled", "Pays everyone"},
        {"NODESC   (Daily)\tscheduled", "NODESC   (Daily) scheduled"},
        {"2 Job(s) scheduled.", "2 Job(s) scheduled."},
    };
    for (const Case& c : cases) {
        const int row = static_cast<int>(progress().indexOf(S(c.line)));
        ASSERT_GE(row, 0) << c.line;
        ClickCell(list, G.ProgList->index(row));
        EXPECT_EQ(list->toolTip(), S(c.tip));
    }

    // The list keeps its newest 500 lines with the newest selected.
    for (int k = 0; k < 600; ++k) AddLogListLine(S("line %1").arg(k));
    EXPECT_EQ(G.ProgList->rowCount(), kProgListMax);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->selectionModel()->currentIndex().row() == kProgListMax - 1; }));
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list->currentIndex().data().toString(), S("line 599"));

    // The newest line is always whole in view: after the window's first
    // layout, with the lists shown, and with a line too long for the list,
    // which brings a horizontal scroll bar instead of being cut.
    const auto newestWhole = [&] {
        QCoreApplication::processEvents();
        const QRect r = list->visualRect(G.ProgList->index(G.ProgList->rowCount() - 1));
        return r.isValid() && list->viewport()->rect().contains(QRect(0, r.top(), 1, r.height()));
    };
    EXPECT_TRUE(QTest::qWaitFor(newestWhole));
    Child<QPushButton>(*w, "cmdShowEvents")->click();
    EXPECT_TRUE(QTest::qWaitFor(newestWhole));
    AddLogListLine(S("LONGLINE\t") + QString(400, QLatin1Char('x')));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->horizontalScrollBar()->maximum() > 0; }));
    EXPECT_TRUE(QTest::qWaitFor(newestWhole));
    // The lines' sizes are kept between layouts, but measured again in a
    // larger font.
    const int narrow = list->horizontalScrollBar()->maximum();
    QFont larger = list->font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    list->setFont(larger);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->horizontalScrollBar()->maximum() > narrow + 100; }));

    // The window gives the progress list back when it goes.
    w.reset();
    EXPECT_EQ(G.ProgList, nullptr);
}

TEST_F(frmSchedTest, ProgressListOpensTheJobsDocumentation) {
    OpenerOnPath opener;
    G.gJobDocPath = dir.path(S("docs"));
    QDir().mkpath(G.gJobDocPath);
    addJob(S("PAY"));
    auto w = open();
    auto* list = Child<QListView>(*w, "lstProgList");
    auto openFrom = [&](const char* line, bool byMenu) {
        const QModelIndex index = G.ProgList->index(static_cast<int>(progress().indexOf(S(line))));
        list->scrollTo(index);
        list->setCurrentIndex(index);
        if (byMenu)
            Child<QAction>(*w, "mnuJobDoc")->trigger();
        else
            ClickCell(list, index, 2);
    };

    // No document yet: asked first; No opens nothing.
    prompts.queueAnswer(MsgAnswer::No);
    openFrom("PAY      (Daily)\tscheduled", false);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0],
              S("There is no runtime documentation file for job PAY.  Do you wish to create one?"));
    EXPECT_FALSE(QFile::exists(dir.path(S("docs/PAY.rtd"))));
    openFrom("PAY      (Daily)\tscheduled", true);
    EXPECT_EQ(opener.waitRecord(), dir.path(S("docs/PAY.rtd\n")));
    // Once it exists it opens at once; a line naming no job does nothing.
    prompts.messages.clear();
    openFrom("PAY      (Daily)\tscheduled", false);
    EXPECT_EQ(opener.waitRecord(), dir.path(S("docs/PAY.rtd\n")));
    openFrom("1 Job(s) scheduled.", true);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(frmSchedTest, HelpShowsItsPage) {
    auto w = open();
    Child<QAction>(*w, "mnuHelpF1")->trigger();
    EXPECT_EQ(prompts.messages.back(), S("Sorry - cannot find a help file matching \"Schedule Execution Form\""));
}

TEST_F(frmSchedTest, AFatalStopEndsTheWindowWithoutSavingAndReachesTheCaller) {
    addJob(S("ONE"));
    G.gLogFile = dir.path(S("no/such/folder/yyyymmdd.log"));
    frmSched w(false);
    EXPECT_THROW(w.exec(), FatalStop);
    EXPECT_FALSE(w.isVisible());
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Morvenda Cannot write to file ")));
    EXPECT_FALSE(QFile::exists(G.gSchedFile));
    EXPECT_FALSE(Child<QTimer>(w, "tmrKick")->isActive());
}

}  // namespace
