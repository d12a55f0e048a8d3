#include "mrvdummy/windows/frmDummy.h"

#include "tests/support/accessible.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString LabelText(const QWidget& w, const char* name) { return Child<QLabel>(w, name)->text(); }
QString BoxText(const QWidget& w, const char* name) { return Child<QLineEdit>(w, name)->text(); }
QPushButton* Btn(const QWidget& w, const char* name) { return Child<QPushButton>(w, name); }
QTimer* Tmr(const QWidget& w, const char* name) { return Child<QTimer>(w, name); }

struct LoadCase {
    const char* line;
    const char* caption;
    const char* jobName;
    const char* cmdLine;
    const char* freq;
    const char* runFor;
    const char* result;
    const char* timerButton;
    const char* rejected;
};

TEST(frmDummy, LoadShowsTheOperands) {
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 15, 30));
    const LoadCase cases[] = {
        {"JN=PAYROLL,CL=\"run.sh a,b\",F=\"WD1, WD2\",OTT=ON,RES=S,GO=Y", "Dummy Job Representing Job PAYROLL",
         "PAYROLL", "run.sh a,b", "WD1, WD2", "", "Succeed", "Set On &Top Timer Off", ""},
        {"RFS=5000,RES=F,OTT=OFF", "Dummy", "", "", "", "60", "Fail", "Set On &Top Timer On", ""},
        {"", "Dummy", "", "", "", "", "", "Set On &Top Timer On", ""},
        {"J=X1,XYZ=1,GO=MAYBE,RFS=10", "Dummy Job Representing Job X1", "X1", "", "", "10", "", "Set On &Top Timer On",
         "XYZ=1, GO=MAYBE"},
    };
    for (const LoadCase& c : cases) {
        frmDummy w(S(c.line));
        EXPECT_EQ(w.windowTitle(), S(c.caption)) << c.line;
        EXPECT_EQ(BoxText(w, "txtCmdInput"), S(c.line));
        EXPECT_EQ(LabelText(w, "lblJobName"), S(c.jobName)) << c.line;
        EXPECT_EQ(BoxText(w, "txtCmdLine"), S(c.cmdLine)) << c.line;
        EXPECT_EQ(LabelText(w, "lblFrequency"), S(c.freq)) << c.line;
        EXPECT_EQ(LabelText(w, "lblRunFor"), S(c.runFor)) << c.line;
        EXPECT_EQ(LabelText(w, "lblResult"), S(c.result)) << c.line;
        EXPECT_EQ(Btn(w, "CmdTimer")->text(), S(c.timerButton)) << c.line;
        EXPECT_EQ(LabelText(w, "lblRejectedList"), S(c.rejected)) << c.line;
        EXPECT_EQ(LabelText(w, "lblStarted"), S("08 Dec 2026 10:15:30"));
        EXPECT_EQ(LabelText(w, "lblRunning"), S("Waiting"));
        EXPECT_EQ(Tmr(w, "tmrQuit")->interval(), 1000);
        EXPECT_FALSE(Tmr(w, "tmrQuit")->isActive());
        EXPECT_FALSE(Tmr(w, "tmrZOrder")->isActive());
    }
}

struct StartCase {
    const char* line;
    bool startsAtOnce;
    bool onTop;
    bool quit;
};

TEST(frmDummy, GoAtFirstShowUnlessAnOperandWasRejected) {
    const StartCase cases[] = {
        {"JN=A,OTT=ON,RES=S,GO=Y", true, true, false},
        {"JN=A,OTT=OFF,RFS=30,GO=OUI", true, false, true},
        {"JN=A,OTT=ON,RES=S,GO=Y,XYZ=1", false, true, false},
        {"JN=A,GO=N,RFS=30", false, false, true},
    };
    for (const StartCase& c : cases) {
        frmDummy w(S(c.line));
        w.show();
        QApplication::processEvents();
        QTest::qWait(20);
        EXPECT_EQ(!Btn(w, "cmdGo")->isEnabled(), c.startsAtOnce) << c.line;
        if (!c.startsAtOnce) {
            EXPECT_EQ(LabelText(w, "lblRunning"), S("Waiting")) << c.line;
            Btn(w, "cmdGo")->click();  // the operator presses Go
            EXPECT_FALSE(Btn(w, "cmdGo")->isEnabled()) << c.line;
        }
        EXPECT_EQ(LabelText(w, "lblRunning"), S("Running")) << c.line;
        EXPECT_EQ(Tmr(w, "tmrZOrder")->isActive(), c.onTop) << c.line;
        EXPECT_EQ(Tmr(w, "tmrZOrder")->interval(), 5000) << c.line;
        EXPECT_EQ(Tmr(w, "tmrQuit")->isActive(), c.quit) << c.line;
    }
}

TEST(frmDummy, TimerButtonTogglesTheOnTopTimer) {
    frmDummy w(S("OTT=ON,GO=Y"));
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Btn(w, "cmdGo")->isEnabled(); }, 2000));
    QPushButton* b = Btn(w, "CmdTimer");
    QTimer* t = Tmr(w, "tmrZOrder");
    EXPECT_TRUE(t->isActive());
    b->click();
    EXPECT_FALSE(t->isActive());
    EXPECT_EQ(b->text(), S("Set On &Top Timer On"));
    b->click();
    EXPECT_TRUE(t->isActive());
    EXPECT_EQ(b->text(), S("Set On &Top Timer Off"));
}

TEST(frmDummy, OnTopTimerBringsTheWindowBack) {
    frmDummy w(S("OTT=ON,GO=Y"));
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Btn(w, "cmdGo")->isEnabled(); }, 2000));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &other; }, 2000));
    Tmr(w, "tmrZOrder")->setInterval(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }, 2000));
    EXPECT_TRUE(Tmr(w, "tmrZOrder")->isActive());
}

struct EndCase {
    const char* line;
    const char* button;  // pressed by the operator; null: the quit timer ends it
    int error;           // 0: a plain end
};

TEST(frmDummy, Endings) {
    const EndCase cases[] = {
        {"RES=S,RFS=3,GO=Y", nullptr, 0}, {"RFS=2,GO=Y", nullptr, 0},     {"RES=F,RFS=3,GO=Y", nullptr, 13},
        {"RES=F,GO=Y", "cmdExit", 0},     {"RES=S,GO=N", "cmdErr13", 13}, {"RES=S,GO=Y", "cmdErr5", 5},
    };
    for (const EndCase& c : cases) {
        frmDummy w(S(c.line));
        QSignalSpy errors(&w, &frmDummy::runTimeError);
        Tmr(w, "tmrQuit")->setInterval(10);
        w.show();
        QTest::qWait(20);
        if (c.button) Btn(w, c.button)->click();
        if (c.error == 0) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 2000)) << c.line;
            EXPECT_EQ(errors.count(), 0) << c.line;
            EXPECT_FALSE(w.failed());
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, 2000)) << c.line;
            ASSERT_EQ(errors.count(), 1) << c.line;
            EXPECT_EQ(errors[0][0].toInt(), c.error) << c.line;
            EXPECT_TRUE(errors[0][1].toString().startsWith(QStringLiteral("Run-time error '%1': ").arg(c.error)));
            EXPECT_TRUE(w.failed());
            // Nothing runs on after the error; the window stays for the error window.
            EXPECT_FALSE(Tmr(w, "tmrQuit")->isActive()) << c.line;
            EXPECT_FALSE(Tmr(w, "tmrZOrder")->isActive()) << c.line;
            EXPECT_FALSE(Btn(w, "cmdExit")->isEnabled()) << c.line;
            EXPECT_TRUE(w.isVisible()) << c.line;
        }
    }
}

TEST(frmDummy, QuitTimerCountsTheRunTimeDown) {
    frmDummy w(S("RES=S,RFS=3,GO=Y"));
    QTimer* quit = Tmr(w, "tmrQuit");
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return quit->isActive(); }, 2000));
    quit->stop();  // tick by hand from here on
    w.tmrQuit_Timer();
    EXPECT_EQ(LabelText(w, "lblRunFor"), S("2"));
    w.tmrQuit_Timer();
    EXPECT_TRUE(w.isVisible());
    w.tmrQuit_Timer();
    EXPECT_FALSE(w.isVisible());
}

TEST(frmDummy, ControlsAreFoundByTheirNames) {
    frmDummy w(S("OTT=ON,GO=Y"));
    const std::vector<AccessibleControl> found = AccessibleControls(&w);
    for (const char* name : {"Go", "Err 5", "Err13", "Exit"})
        EXPECT_NE(FindAccessible(found, QAccessible::PushButton, S(name)), nullptr) << name;
    for (const char* name : {"Command Line Input to Dummy", "Command Line"})
        EXPECT_NE(FindAccessible(found, QAccessible::EditableText, S(name)), nullptr) << name;
    for (const AccessibleControl& c : found)
        EXPECT_FALSE(c.name.isEmpty() || c.name.contains(QLatin1Char('&'))) << c.objectName.toStdString();
}

}  // namespace
