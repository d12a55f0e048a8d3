#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/MRVDir.h"
#include "tests/support/asuser.h"
#include "tests/support/testing.h"

namespace {

// Three mount points inside a temporary folder: Fixed and Other are fixed
// drives, Stick is mounted but not fixed (a removable device).
class Drives {
public:
    Drives() {
        for (const char* name : {"Fixed/Data/Sub", "Other", "Stick/Photos"}) QDir().mkpath(dir.path(S(name)));
        fixed = {dir.path(S("Fixed")), dir.path(S("Other"))};
        all = {dir.path(S("Fixed")), dir.path(S("Other")), dir.path(S("Stick"))};
        SetChooserDrives([this] { return fixed; },
                         [this](const QString& path) {
                             for (const QString& d : all)
                                 if (path == d || path.startsWith(d + S("/"))) return d;
                             return S("/");
                         });
    }
    ~Drives() { SetChooserDrives({}, {}); }

    TempDir dir;
    QStringList fixed;
    QStringList all;
};

QListWidget* Folders(MRVDir& w) { return w.findChild<QListWidget*>(S("dirDir")); }
QComboBox* DriveList(MRVDir& w) { return w.findChild<QComboBox*>(S("drvDrive")); }
void Click(MRVDir& w, const char* name) { QTest::mouseClick(w.findChild<QPushButton*>(S(name)), Qt::LeftButton); }

// Double-clicks the entry of the folder list that holds Path.
void Open(MRVDir& w, const QString& path) {
    QListWidget* list = Folders(w);
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toString() == path) {
            emit list->itemActivated(list->item(i));
            return;
        }
    ADD_FAILURE() << "no entry for " << path.toStdString();
}

TEST(MRVDir, OkReturnsTheChosenFolderWithItsCaseAndNoTrailingSlash) {
    Drives d;
    ScriptedPrompter prompts;
    struct Case {
        const char* start;   // folder the window opens at
        const char* open;    // folder then opened in the list ("" none)
        const char* chosen;  // folder OK returns
    };
    const Case cases[] = {
        {"Fixed/Data/Sub", "", "Fixed/Data/Sub"},
        {"Fixed/Data/Sub/", "Fixed", "Fixed"},            // a drive's root
        {"Fixed/Data/Missing/Deeper", "", "Fixed/Data"},  // nearest existing folder
        {"Fixed", "Fixed/Data", "Fixed/Data"},
    };
    for (const Case& c : cases) {
        MRVDir w;
        w.setWindowTitle(S("Morvenda Startup Genie"));
        w.Path = d.dir.path(S(c.start));
        w.Start();
        EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Fixed"))) << c.start;
        if (*c.open) Open(w, d.dir.path(S(c.open)));
        Click(w, "cmdOK");
        EXPECT_EQ(w.result(), QDialog::Accepted) << c.start;
        EXPECT_FALSE(w.Cancelled);
        EXPECT_EQ(w.Path, d.dir.path(S(c.chosen))) << c.start;
    }
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The highlighted folder is the one taken, not only the open one.
    MRVDir w;
    w.Path = d.dir.path(S("Fixed"));
    w.Start();
    QListWidget* list = Folders(w);
    QListWidgetItem* data = list->findItems(S("Data"), Qt::MatchEndsWith).value(0);
    ASSERT_NE(data, nullptr);
    list->setCurrentItem(data);
    Click(w, "cmdOK");
    EXPECT_EQ(w.Path, d.dir.path(S("Fixed/Data")));
}

TEST(MRVDir, NewCreatesOneFolderInsideTheListsFolderAndOpensIt) {
    Drives d;
    ScriptedPrompter prompts;
    MRVDir w;
    w.Path = d.dir.path(S("Fixed/Data"));
    w.Start();

    prompts.queueInput(QString());  // an empty answer does nothing
    Click(w, "cmdNew");
    EXPECT_EQ(prompts.prompts, QStringList{S("Please enter new folder name")});
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));

    for (const char* bad : {"..", "a/b", "Sub"}) {
        prompts.messages.clear();
        prompts.queueInput(S(bad));
        Click(w, "cmdNew");
        EXPECT_EQ(prompts.messages, QStringList{S("Could not create folder")}) << bad;
        EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));
    }
    EXPECT_FALSE(QFileInfo::exists(d.dir.path(S("Fixed/Data/a"))));

    prompts.messages.clear();
    prompts.queueInput(S("New Jobs"));
    Click(w, "cmdNew");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(d.dir.path(S("Fixed/Data/New Jobs"))).isDir());
    // The new folder is highlighted among its siblings.
    EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));
    EXPECT_EQ(w.FolderPath(), d.dir.path(S("Fixed/Data/New Jobs")));
    EXPECT_FALSE(Folders(w)->findItems(S("Sub"), Qt::MatchEndsWith).isEmpty());
    Click(w, "cmdOK");
    EXPECT_EQ(w.Path, d.dir.path(S("Fixed/Data/New Jobs")));
}

TEST(MRVDir, RefusedDrivesGiveTheirMessagesAndGoBackToTheRememberedDrive) {
    MRV_RUN_AS_USER();
    Drives d;
    ScriptedPrompter prompts;

    // Opened on a removable drive: OK and New are refused, the list stays.
    {
        MRVDir w;
        w.setWindowTitle(S("Morvenda Configuration"));
        w.Path = d.dir.path(S("Stick/Photos"));
        w.Start();
        EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Stick")));
        Click(w, "cmdOK");
        Click(w, "cmdNew");
        EXPECT_EQ(prompts.messages, QStringList(2, S("Please select a non-removable drive")));
        EXPECT_TRUE(prompts.prompts.isEmpty());
        EXPECT_NE(w.result(), QDialog::Accepted);
        // Another drive is taken.
        prompts.messages.clear();
        DriveList(w)->setCurrentIndex(DriveList(w)->findText(d.dir.path(S("Other"))));
        EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Other")));
        Click(w, "cmdOK");
        EXPECT_EQ(w.Path, d.dir.path(S("Other")));
        EXPECT_TRUE(prompts.messages.isEmpty());
    }

    // A drive that stopped being fixed after the list was made (a device
    // pulled out), and one that cannot be read.
    MRVDir w;
    w.Path = d.dir.path(S("Fixed/Data"));
    w.Start();
    d.fixed.removeAll(d.dir.path(S("Other")));
    DriveList(w)->setCurrentIndex(DriveList(w)->findText(d.dir.path(S("Other"))));
    EXPECT_EQ(prompts.messages, QStringList{S("Please select a non-removable drive")});
    EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Fixed")));
    EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));

    prompts.messages.clear();
    d.fixed.append(d.dir.path(S("Other")));
    QFile(d.dir.path(S("Other"))).setPermissions(QFileDevice::WriteOwner);
    DriveList(w)->setCurrentIndex(DriveList(w)->findText(d.dir.path(S("Other"))));
    QFile(d.dir.path(S("Other")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(prompts.messages, QStringList{S("Cannot access the specified drive")});
    EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Fixed")));
    EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));
}

TEST(MRVDir, AFolderReachedInsideARefusedMountIsRefused) {
    // From the root of the fixed drive that holds the others, into the
    // removable one mounted below it.
    Drives d;
    d.fixed = {d.dir.path(), d.dir.path(S("Other"))};
    d.all.append(d.dir.path());
    ScriptedPrompter prompts;
    MRVDir w;
    w.Path = d.dir.path();
    w.Start();
    Open(w, d.dir.path(S("Stick")));
    EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Stick")));
    Open(w, d.dir.path(S("Stick/Photos")));
    Click(w, "cmdNew");
    EXPECT_TRUE(prompts.prompts.isEmpty());
    EXPECT_EQ(w.OpenFolder(), d.dir.path());
    Open(w, d.dir.path(S("Stick")));
    Open(w, d.dir.path(S("Stick/Photos")));
    Click(w, "cmdOK");
    EXPECT_EQ(prompts.messages, QStringList(2, S("Please select a non-removable drive")));
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Path, d.dir.path());
    // Back where the window opened, on the drive it showed then.
    EXPECT_EQ(w.OpenFolder(), d.dir.path());
    EXPECT_EQ(w.CurrentDrive(), d.dir.path());
    Open(w, d.dir.path(S("Other")));
    Click(w, "cmdOK");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Path, d.dir.path(S("Other")));
}

TEST(MRVDir, WithNoPathItStartsInTheHomeFolder) {
    Drives d;
    ScopedEnv home("HOME", d.dir.path(S("Fixed/Data")).toUtf8());
    MRVDir w;
    w.Start();
    EXPECT_EQ(w.OpenFolder(), d.dir.path(S("Fixed/Data")));
    EXPECT_EQ(w.CurrentDrive(), d.dir.path(S("Fixed")));
}

TEST(MRVDir, ChooseDirectoryChangesThePathOnlyOnOk) {
    Drives d;
    ScriptedPrompter prompts;
    const QString start = d.dir.path(S("Fixed/Data"));
    struct Case {
        const char* how;
        bool chosen;
    };
    const Case cases[] = {{"ok", true}, {"cancel", false}, {"close box", false}, {"escape", false}};
    for (const Case& c : cases) {
        QString path = start;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<MRVDir*>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            title = w->windowTitle();
            Open(*w, d.dir.path(S("Fixed/Data/Sub")));
            const QString how = S(c.how);
            if (how == S("ok"))
                Click(*w, "cmdOK");
            else if (how == S("cancel"))
                Click(*w, "cmdCancel");
            else if (how == S("close box"))
                w->close();
            else
                QTest::keyClick(w, Qt::Key_Escape);
        });
        EXPECT_EQ(ChooseDirectory(nullptr, S("Morvenda Startup Genie"), path), c.chosen) << c.how;
        EXPECT_EQ(title, S("Morvenda Startup Genie"));
        EXPECT_EQ(path, c.chosen ? d.dir.path(S("Fixed/Data/Sub")) : start) << c.how;
    }
}

}  // namespace
