#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "gui/frmAbout.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

namespace {

TEST(frmAbout, ShowsTitleDescriptionAndVersion) {
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), S("About Morvenda"));
    EXPECT_EQ(Child<QLabel>(about, "lblTitle")->text(), S("Morvenda"));
    EXPECT_EQ(Child<QLabel>(about, "lblDescription")->text(), S("32 BIT Job Scheduler and Launcher"));
    EXPECT_EQ(Child<QLabel>(about, "lblVersion")->text(),
              S("Version %1.%2").arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR));
    EXPECT_EQ(Child<QPushButton>(about, "cmdSysInfo")->text(), S("&System Info..."));

    about.setCaption(S("About MRVEmail"));
    about.setVersionText(S("MRVEmail    Version 1.0"));
    about.setLogoText(S("Morvenda"));
    EXPECT_EQ(about.windowTitle(), S("About MRVEmail"));
    EXPECT_EQ(Child<QLabel>(about, "lblVersion")->text(), S("MRVEmail    Version 1.0"));
    EXPECT_EQ(Child<QLabel>(about, "lblLogo")->text(), S("Morvenda"));
}

// The box names the program once, whichever program shows it: the title,
// not a logo that repeats it or the version line again.
TEST(frmAbout, NamesTheProgramOnce) {
    const char* const versions[] = {nullptr, "MRVEmail    Version 1.0"};  // the scheduler's, the e-mailer's
    for (const char* version : versions) {
        frmAbout about;
        about.setLogoText(S("Morvenda"));
        if (version) about.setVersionText(S(version));
        about.show();
        QStringList shown;
        for (QLabel* l : about.findChildren<QLabel*>())
            if (l->isVisible()) shown << l->text();
        EXPECT_EQ(shown.join(S("|")).count(S("Morvenda")), 1) << shown.join(S(" | ")).toStdString();
    }
}

TEST(frmAbout, CloseIsRefusedWhileStartingUp) {
    bool startingUp = true;
    frmAbout about;
    about.setStartingUp(&startingUp);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));

    about.close();
    EXPECT_TRUE(about.isVisible()) << "close box";
    QTest::mouseClick(Child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
    EXPECT_TRUE(about.isVisible()) << "OK";
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_TRUE(about.isVisible()) << "Escape";

    startingUp = false;
    QTest::mouseClick(Child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());

    // The same through a function, and without any guard.
    frmAbout other;
    other.setStartingUp([] { return true; });
    other.show();
    other.close();
    EXPECT_TRUE(other.isVisible());
    other.setStartingUp(std::function<bool()>());
    other.close();
    EXPECT_FALSE(other.isVisible());
}

TEST(frmAbout, SystemInfoStartsTheFirstProgramFoundOrSaysItIsUnavailable) {
    TempDir dir;
    ScriptedPrompter prompts;
    frmAbout about;
    auto* sysInfo = Child<QPushButton>(about, "cmdSysInfo");
    {
        ScopedEnv path("PATH", "");
        QTest::mouseClick(sysInfo, Qt::LeftButton);
        EXPECT_EQ(prompts.messages, QStringList{S("System Information is unavailable at this time")});
    }

    // A stand-in program that leaves a mark when it runs; a file of a
    // preferred name that is not executable is passed over.
    const QString marker = dir.path(S("started"));
    const QString fake = dir.write(S("bin/kinfocenter"), "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");
    QFile(fake).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    dir.write(S("bin/hardinfo2"), "not a program");
    prompts.messages.clear();
    ScopedEnv path("PATH", (dir.path(S("empty")) + S(":") + dir.path(S("bin"))).toUtf8());
    EXPECT_EQ(FindSysInfoProgram(), fake);
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(marker); }, 5000));
}

}  // namespace
