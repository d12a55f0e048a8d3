#include "morvenda/windows/frmStartUp.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/settings.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmMain.h"
#include "tests/support/accessible.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The first start on a computer: no command line, no default schedule.

namespace {

class frmStartUpTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        InstallDemo(dir);
    }
    QString current() const { return GetSetting(gAppName, gRegSection, S("Current")); }
};

// Chooses Option in the first-run window and presses OK.
void Choose(const char* Option) {
    WhenShown<frmStartUp>([Option](frmStartUp* w) {
        auto* ok = Child<QPushButton>(*w, "cmdOK");
        EXPECT_FALSE(ok->isEnabled());
        Press(*w, Option);
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
    });
}

// Picks Path in the next file dialog (an empty Path cancels it), then runs
// Then.
void PickFile(const QString& Path, std::function<void()> Then = {}) {
    WhenShown<QFileDialog>([Path, Then](QFileDialog* d) {
        if (Path.isEmpty()) {
            d->reject();
        } else {
            // selectFile() leaves the name box alone while it has the focus,
            // which it may have taken by now: the path is typed in.
            d->findChild<QLineEdit*>(S("fileNameEdit"))->setText(Path);
            static_cast<QDialog*>(d)->accept();
            if (d->isVisible()) {
                ADD_FAILURE() << "the file dialog did not take " << Path.toStdString();
                d->reject();
            }
        }
        // Only now: the dialog just closed must not be taken for the next.
        if (Then) Then();
    });
}

TEST_F(frmStartUpTest, NewScheduleStartsTheGenieAndEnds) {
    // A stand-in for the genie notes that it was started, and with what.
    const QString genie = dir.write(S("bin/MRVGenie"), "#!/bin/sh\necho \"started $#\" > \"$(dirname \"$0\")/ran\"\n");
    QFile::setPermissions(genie, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    G.gGeniePath = genie + S(".exe");  // a configured ".exe" path is tried without it
    QString title;
    WhenShown<frmStartUp>([&](frmStartUp* w) {
        title = w->windowTitle();
        Press(*w, "optGenie");
        const auto names = ExpectAccessibleNames(w);
        EXPECT_EQ(names.value(S("optGenie")), S("I want to create a new schedule."));
        EXPECT_EQ(names.value(S("cmdCancel")), S("Cancel"));
        Press(*w, "cmdOK");
    });
    EXPECT_THROW(RunFirstRun(nullptr), FatalStop);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.path(S("bin/ran"))); }, 5000));
    EXPECT_EQ(dir.read(S("bin/ran")).trimmed(), QByteArray("started 0"));
    EXPECT_EQ(title, S("Morvenda Startup"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(current(), S(""));

    // A genie that is not there is reported.
    G.gGeniePath = dir.path(S("bin/none/MRVGenie"));
    Choose("optGenie");
    EXPECT_THROW(RunFirstRun(nullptr), FatalStop);
    EXPECT_EQ(prompts.messages, QStringList{S("Error invoking  \"") + G.gGeniePath + S("\"")});
}

TEST_F(frmStartUpTest, AnExistingFileIsSearchedForUntilOneIsAScheduleAndBecomesTheDefault) {
    const QString ini = dir.path(S("DEMO/DEMO.ini"));
    const QString notOne = dir.write(S("other.ini"), "[Morvenda]\r\nLogFile=x\r\n");
    Choose("optExist");
    PickFile(notOne, [=] { PickFile(ini); });
    frmMain w;
    w.Form_Load(QString());
    EXPECT_EQ(prompts.messages.size(), 2) << prompts.messages.join(S("\n")).toStdString();
    EXPECT_TRUE(prompts.messages.value(0).startsWith(S("Warning:  The same Morvenda schedule cannot be run")));
    EXPECT_EQ(prompts.messages.value(1), S("That file does not appear to be a Morvenda ini file."));
    EXPECT_EQ(G.gIniFile, ini);
    EXPECT_EQ(w.findChild<QLabel*>(S("lblINIFile"))->text(), ini);
    EXPECT_EQ(JobCount(), 10);
    EXPECT_EQ(current(), ini);

    // The next start finds it without the first-run window.
    ResetState();
    frmMain again;
    again.Form_Load(QString());
    EXPECT_EQ(G.gIniFile, ini);
    EXPECT_EQ(prompts.messages.size(), 2);
}

TEST_F(frmStartUpTest, EveryOtherWayOutEndsTheProgram) {
    const QString notOne = dir.write(S("other.ini"), "[Morvenda]\r\n");
    struct Case {
        const char* what;
        std::function<void()> drive;
        QStringList messages;
    };
    const QString warning =
        S("Warning:  The same Morvenda schedule cannot be run on more than one computer "
          "simultaneously.\n\nThe schedule to be executed on this computer should be disabled "
          "from execution elsewhere.\n\nPress Cancel to terminate or OK to locate the Morvenda "
          "INI file for the required schedule.");
    const Case cases[] = {
        {"Cancel", [] { WhenShown<frmStartUp>([](frmStartUp* w) { Press(*w, "cmdCancel"); }); }, {}},
        {"close box", [] { WhenShown<frmStartUp>([](frmStartUp* w) { w->close(); }); }, {S("Morvenda Terminating")}},
        {"Esc after choosing",
         [] {
             WhenShown<frmStartUp>([](frmStartUp* w) {
                 Press(*w, "optExist");
                 QTest::keyClick(w, Qt::Key_Escape);
             });
         },
         {S("Morvenda Terminating")}},
        {"warning cancelled",
         [this] {
             Choose("optExist");
             prompts.queueAnswer(MsgAnswer::Cancel);
         },
         {warning}},
        {"file dialog cancelled",
         [] {
             Choose("optExist");
             PickFile(QString());
         },
         {warning, S("No ini file selected.  Morvenda terminated.")}},
        {"not a schedule, then Cancel",
         [this, notOne] {
             Choose("optExist");
             PickFile(notOne, [this] { prompts.queueAnswer(MsgAnswer::Cancel); });
         },
         {warning, S("That file does not appear to be a Morvenda ini file.")}},
    };
    for (const Case& c : cases) {
        ResetState();
        prompts.messages.clear();
        c.drive();
        frmMain w;
        EXPECT_THROW(w.Form_Load(QString()), FatalStop) << c.what;
        EXPECT_EQ(prompts.messages, c.messages) << c.what;
        EXPECT_EQ(current(), S("")) << c.what;
        EXPECT_TRUE(G.gIniFile.isEmpty()) << c.what;
    }
}

}  // namespace
