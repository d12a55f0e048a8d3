#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "common/ini.h"
#include "gui/frmAbout.h"
#include "mrvemail/windows/frmEmail.h"
#include "tests/mrvemail/smtp_fixture.h"
#include "tests/support/accessible.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

namespace {

// A messages folder, a configuration file naming it and a real mail server.
struct Emailer {
    SmtpServer server;
    TempDir dir;
    ScriptedPrompter prompts;
    QString ini;
    QString messages;

    explicit Emailer(const QByteArray& extra = QByteArray()) {
        messages = dir.path(S("Messages"));
        QDir().mkpath(messages);
        // Closed to other users whatever the umask: the program refuses a
        // folder that everyone may write into.
        QFile::setPermissions(messages, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        ini = dir.write(S("MRVEmail.ini"), EmailIniText(messages, server.port(), extra));
    }
    QString program() const { return dir.path(S("bin/MRVEmail")); }
    void message(const QString& name, const QByteArray& text) { dir.write(S("Messages/") + name, text); }
    bool has(const QString& name) const { return QFileInfo::exists(messages + QLatin1Char('/') + name); }
    /// Starts W on the configuration file and shows it: false when the server
    /// is not up or the window would end at once.
    bool open(frmEmail& w) {
        if (!server.started() || w.Form_Load(ini, program()) != std::nullopt) return false;
        w.show();
        return true;
    }
};

TEST(frmEmail, StartUpFailuresShowTheirMessageAndEnd) {
    Emailer s;
    ASSERT_TRUE(s.server.started());
    ScopedEnv config("XDG_CONFIG_HOME", s.dir.path(S("config")).toUtf8());
    struct Case {
        QByteArray ini;  // "" = no configuration file anywhere
        int status;
        QString message;
    };
    const QString ini = s.dir.path(S("case.ini"));
    const QString open = s.dir.path(S("Open"));
    QDir().mkpath(open);
    QFile::setPermissions(open, QFile::Permissions(0x7777));
    const Case cases[] = {
        {"[MRVEmail]\r\nKickInterval=5\r\n", 1,
         S("No email file directory (\"EmailPath\") specified in \"%1\"").arg(ini)},
        {"[MRVEmail]\r\nEmailPath=" + s.dir.path(S("none")).toUtf8() + "\r\n", 1,
         S("The \"EmailPath\" specified in \"%1\" is not a valid drive/directory.").arg(ini)},
        {"[MRVEmail]\r\nEmailPath=" + open.toUtf8() + "\r\n", 1,
         S("The \"EmailPath\" folder \"%1\" specified in \"%2\" can be written by every user of this computer, so "
           "any of them could make MRVEmail mail out or delete its files. Remove that permission (chmod o-w \"%1\") "
           "and start MRVEmail again.")
             .arg(open, ini)},
        {"[MRVEmail]\r\nEmailPath=" + s.messages.toUtf8() + "\r\nSmtpServer=127.0.0.1\r\nSmtpPort=1\r\n", 1,
         S("Login failed")},
        {"[MRVEmail]\r\nEmailPath=" + s.messages.toUtf8() + "\r\nProfileName=Nowhere\r\n", 1, S("Login failed")},
        {QByteArray(), 0, EmailIniSearchQuestion(s.program())},
    };
    for (const Case& c : cases) {
        s.prompts.messages.clear();
        QString commandLine;
        if (!c.ini.isEmpty())
            commandLine = s.dir.write(S("case.ini"), c.ini);
        else
            s.prompts.queueAnswer(MsgAnswer::No);
        frmEmail w;
        EXPECT_EQ(w.Form_Load(commandLine, s.program()), std::optional<int>(c.status)) << c.ini.constData();
        EXPECT_EQ(s.prompts.messages, QStringList{c.message}) << c.ini.constData();
        EXPECT_FALSE(Child<QTimer>(w, "tmrEmail")->isActive());
    }
}

TEST(frmEmail, CountdownKicksAPassThatSendsTheMessages) {
    Emailer s("KickInterval=3\r\n");
    ASSERT_TRUE(s.server.started());
    s.message(S("JOBx0000.eml"), "TO=ann@example.org\r\nSUBJ=Job done\r\nBODY=ok~\r\n");
    s.message(S("JOBx0001.eml"), "BROKEN\r\n");
    frmEmail w;
    ASSERT_EQ(w.Form_Load(s.ini, s.program()), std::nullopt);
    EXPECT_EQ(w.windowTitle(), S("MRVEmail - Morvenda Automated Emailer"));
    EXPECT_EQ(Child<QLabel>(w, "lblProgress")->text(), S("Awaiting First Email"));
    EXPECT_EQ(w.countdown(), 1);
    auto* timer = Child<QTimer>(w, "tmrEmail");
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    w.show();
    // No saved position: at the right edge, 2300 twips above the bottom.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(w.frameGeometry().right(), screen.right(), 1);
    EXPECT_NEAR(w.frameGeometry().bottom(), screen.bottom() - 2300 / 15, 1);

    timer->setInterval(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.has(S("JOBx0000.DON")); }, 5000));
    EXPECT_TRUE(s.has(S("JOBx0001.ERR")));
    EXPECT_EQ(s.server.messages().size(), 1);
    EXPECT_EQ(Child<QLabel>(w, "lblProgress")->text(), S("Job done"));
    EXPECT_EQ(Child<QLabel>(w, "lblErrors")->text(), S("1 error files in %1").arg(s.messages));
    // After the pass the countdown starts again from the clamped interval.
    EXPECT_EQ(w.config().kickInterval, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.countdown() == 3; }, 5000));
    EXPECT_EQ(Child<QLabel>(w, "lblSecs")->text(), S("3 seconds to next timed kick"));
    EXPECT_TRUE(Child<QPushButton>(w, "cmdKick")->isEnabled());
}

TEST(frmEmail, SuspendHoldsEvenAfterAPassByHand) {
    Emailer s;
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    auto* timer = Child<QTimer>(w, "tmrEmail");
    auto* suspend = Child<QPushButton>(w, "cmdSuspend");
    auto* progress = Child<QLabel>(w, "lblProgress");
    timer->setInterval(10);

    Child<QAction>(w, "mnuSuspend")->trigger();
    EXPECT_TRUE(w.isSuspended());
    EXPECT_EQ(suspend->text(), S("Re&sume"));
    EXPECT_FALSE(timer->isActive());

    s.message(S("HELD0000.eml"), "TO=ann@example.org\r\nSUBJ=Held back\r\n");
    QTest::qWait(100);
    EXPECT_TRUE(s.has(S("HELD0000.eml"))) << "no timed pass while suspended";

    QTest::mouseClick(Child<QPushButton>(w, "cmdKick"), Qt::LeftButton);
    EXPECT_TRUE(s.has(S("HELD0000.DON"))) << "a pass by hand runs while suspended";
    EXPECT_EQ(progress->text(), S("Held back"));
    EXPECT_FALSE(timer->isActive()) << "the end of a pass does not resume a suspended window";
    EXPECT_TRUE(w.isSuspended());

    QTest::mouseClick(suspend, Qt::LeftButton);
    EXPECT_FALSE(w.isSuspended());
    EXPECT_EQ(suspend->text(), S("&Suspend"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(progress->text(), S("Awaiting First Email")) << "the text saved at suspension comes back";
}

TEST(frmEmail, CloseDuringAPassWaitsForItAndSavesThePosition) {
    Emailer s("Left=1500\r\nTop=3000\r\n");
    s.message(S("LAST0000.eml"), "TO=ann@example.org\r\nSUBJ=Last one\r\n");
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    EXPECT_EQ(w.pos(), QPoint(100, 200));

    // The close request arrives while the pass lets window events run.
    bool closedDuringPass = false;
    QTimer::singleShot(0, &w, [&] {
        closedDuringPass = w.isPassRunning();
        w.close();
    });
    QTest::mouseClick(Child<QPushButton>(w, "cmdKick"), Qt::LeftButton);
    EXPECT_TRUE(closedDuringPass);
    EXPECT_TRUE(s.has(S("LAST0000.DON"))) << "the message in hand was finished";
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(IniGet(S("MRVEmail"), S("Left"), s.ini), S("1500"));
    EXPECT_EQ(IniGet(S("MRVEmail"), S("Top"), s.ini), S("3000"));
}

TEST(frmEmail, SuspendFromTheMenuDuringAPassEndsItAfterTheMessageInHand) {
    Emailer s;
    for (const char* name : {"SUSP0000.eml", "SUSP0001.eml", "SUSP0002.eml"})
        s.message(S(name), "TO=ann@example.org\r\nSUBJ=One of three\r\n");
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    auto* suspend = Child<QPushButton>(w, "cmdSuspend");
    bool duringPass = false;
    QTimer::singleShot(0, &w, [&] {
        duringPass = w.isPassRunning();
        Child<QAction>(w, "mnuSuspend")->trigger();
    });
    QTest::mouseClick(Child<QPushButton>(w, "cmdKick"), Qt::LeftButton);
    EXPECT_TRUE(duringPass);
    EXPECT_TRUE(w.isSuspended());
    EXPECT_EQ(suspend->text(), S("Re&sume"));
    EXPECT_FALSE(Child<QTimer>(w, "tmrEmail")->isActive());
    EXPECT_EQ(s.server.messages().size(), 1);
    EXPECT_TRUE(s.has(S("SUSP0000.DON")));
    EXPECT_TRUE(s.has(S("SUSP0001.eml")) && s.has(S("SUSP0002.eml")));
}

TEST(frmEmail, ServerDownLeavesTheMessagesAndSaysWhy) {
    Emailer s;
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    auto* kick = Child<QPushButton>(w, "cmdKick");
    auto* progress = Child<QLabel>(w, "lblProgress");
    s.message(S("WAIT0000.eml"), "TO=ann@example.org\r\nBODY=waits\r\n");

    s.server.stop();
    QTest::mouseClick(kick, Qt::LeftButton);
    EXPECT_TRUE(s.has(S("WAIT0000.eml")));
    EXPECT_TRUE(progress->text().startsWith(WaitingText(QString()))) << progress->text().toStdString();
    EXPECT_TRUE(Child<QLabel>(w, "lblErrors")->text().isEmpty());
    EXPECT_TRUE(kick->isEnabled());

    ASSERT_TRUE(s.server.start());
    QTest::mouseClick(kick, Qt::LeftButton);
    EXPECT_TRUE(s.has(S("WAIT0000.DON")));
    EXPECT_EQ(s.server.messages().size(), 1);
    EXPECT_EQ(progress->text(), S("Awaiting First Email")) << "the text before the wait comes back";
}

// A long reason from the mail server shows whole, wrapped, in a window that
// keeps its width.
TEST(frmEmail, ALongServerReasonWrapsInTheWindow) {
    Emailer s;
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const int width = w.width();
    auto* progress = Child<QLabel>(w, "lblProgress");
    s.message(S("WAIT0000.eml"), "TO=ann@example.org\r\nBODY=waits\r\n");
    s.server.stop();
    QTest::mouseClick(Child<QPushButton>(w, "cmdKick"), Qt::LeftButton);
    ASSERT_TRUE(progress->text().startsWith(WaitingText(QString())));
    QTest::qWait(50);
    // The reason is longer than one line of the window holds.
    EXPECT_GT(progress->fontMetrics().horizontalAdvance(progress->text()), width);
    EXPECT_EQ(w.width(), width);
    EXPECT_LE(progress->heightForWidth(progress->width()), progress->height()) << progress->text().toStdString();
    EXPECT_LE(progress->geometry().right(), w.centralWidget()->width());
}

TEST(frmEmail, AboutBoxShowsTheEmailersOwnTitle) {
    Emailer s;
    frmEmail w;
    ASSERT_TRUE(s.open(w));
    QString caption, version, logo;
    bool timerStopped = false;
    QTimer::singleShot(0, &w, [&] {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        caption = about->windowTitle();
        version = about->findChild<QLabel*>(S("lblVersion"))->text();
        logo = about->findChild<QLabel*>(S("lblLogo"))->text();
        timerStopped = !w.findChild<QTimer*>(S("tmrEmail"))->isActive();
        about->findChild<QPushButton*>(S("cmdOK"))->click();
    });
    Child<QAction>(w, "mnuAbout")->trigger();
    EXPECT_EQ(caption, S("About MRVEmail"));
    EXPECT_EQ(version, S("MRVEmail    Version %1.%2").arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR));
    EXPECT_EQ(logo, Child<QLabel>(w, "lblLogo")->text());
    EXPECT_TRUE(timerStopped);
    EXPECT_TRUE(Child<QTimer>(w, "tmrEmail")->isActive());
}

TEST(frmEmail, ControlsAreFoundByTheirNames) {
    frmEmail w;
    const std::vector<AccessibleControl> found = AccessibleControls(&w);
    for (const char* name : {"Kick", "Suspend", "Close"})
        EXPECT_NE(FindAccessible(found, QAccessible::PushButton, S(name)), nullptr) << name;
    for (const AccessibleControl& c : found)
        EXPECT_FALSE(c.name.isEmpty() || c.name.contains(QLatin1Char('&'))) << c.objectName.toStdString();
}

}  // namespace
