#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "gui/MRVDir.h"
#include "tests/support/asuser.h"
#include "tests/support/companiontests.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

namespace {

// Three mount points inside a temporary folder: Fixed and Other are fixed
// drives, Stick is mounted but not fixed (a removable device).
class Drives {
public:
    Drives() {
        for (const char* name : {"Fixed/Data/Sub", "Other", "Stick/Photos"}) QDir().mkpath(at(name));
        fixed = {at("Fixed"), at("Other")};
        all = {at("Fixed"), at("Other"), at("Stick")};
        SetChooserDrives([this] { return fixed; },
                         [this](const QString& path) {
                             for (const QString& d : all)
                                 if (path == d || path.startsWith(d + S("/"))) return d;
                             return S("/");
                         });
    }
    ~Drives() { SetChooserDrives({}, {}); }
    // The path of a folder inside the temporary folder.
    QString at(const char* name) const { return dir.path(S(name)); }

    TempDir dir;
    QStringList fixed;
    QStringList all;
};

QListWidget* Folders(MRVDir& w) { return w.findChild<QListWidget*>(S("dirDir")); }
// Opens W at the folder Path under the program's Title, as the programs do.
void Start(MRVDir& w, const QString& path, const char* title = "") {
    if (*title) w.setWindowTitle(S(title));
    w.Path = path;
    w.Start();
}
// Chooses the drive Path in the drive list.
void PickDrive(MRVDir& w, const QString& path) {
    QComboBox* list = w.findChild<QComboBox*>(S("drvDrive"));
    list->setCurrentIndex(list->findText(path));
}
void Click(MRVDir& w, const char* name) { QTest::mouseClick(Child<QPushButton>(w, name), Qt::LeftButton); }

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
        Start(w, d.at(c.start), "Morvenda Startup Genie");
        EXPECT_EQ(w.CurrentDrive(), d.at("Fixed")) << c.start;
        if (*c.open) OpenInChooser(w, d.at(c.open));
        Click(w, "cmdOK");
        EXPECT_EQ(w.result(), QDialog::Accepted) << c.start;
        EXPECT_FALSE(w.Cancelled);
        EXPECT_EQ(w.Path, d.at(c.chosen)) << c.start;
    }
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The highlighted folder is the one taken, not only the open one.
    MRVDir w;
    Start(w, d.at("Fixed"));
    QListWidget* list = Folders(w);
    QListWidgetItem* data = list->findItems(S("Data"), Qt::MatchEndsWith).value(0);
    ASSERT_NE(data, nullptr);
    list->setCurrentItem(data);
    Click(w, "cmdOK");
    EXPECT_EQ(w.Path, d.at("Fixed/Data"));
}

TEST(MRVDir, NewCreatesOneFolderInsideTheListsFolderAndOpensIt) {
    Drives d;
    ScriptedPrompter prompts;
    MRVDir w;
    Start(w, d.at("Fixed/Data"));

    prompts.queueInput(QString());  // an empty answer does nothing
    Click(w, "cmdNew");
    EXPECT_EQ(prompts.prompts, QStringList{S("Please enter new folder name")});
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));

    for (const char* bad : {"..", "a/b", "Sub"}) {
        prompts.messages.clear();
        prompts.queueInput(S(bad));
        Click(w, "cmdNew");
        EXPECT_EQ(prompts.messages, QStringList{S("Could not create folder")}) << bad;
        EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));
    }
    EXPECT_FALSE(QFileInfo::exists(d.at("Fixed/Data/a")));

    prompts.messages.clear();
    prompts.queueInput(S("New Jobs"));
    Click(w, "cmdNew");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(d.at("Fixed/Data/New Jobs")).isDir());
    // The new folder is highlighted among its siblings.
    EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));
    EXPECT_EQ(w.FolderPath(), d.at("Fixed/Data/New Jobs"));
    EXPECT_FALSE(Folders(w)->findItems(S("Sub"), Qt::MatchEndsWith).isEmpty());
    Click(w, "cmdOK");
    EXPECT_EQ(w.Path, d.at("Fixed/Data/New Jobs"));
}

TEST(MRVDir, RefusedDrivesGiveTheirMessagesAndGoBackToTheRememberedDrive) {
    MRV_RUN_AS_USER();
    Drives d;
    ScriptedPrompter prompts;

    // Opened on a removable drive: OK and New are refused, the list stays.
    {
        MRVDir w;
        Start(w, d.at("Stick/Photos"), "Morvenda Configuration");
        EXPECT_EQ(w.CurrentDrive(), d.at("Stick"));
        Click(w, "cmdOK");
        Click(w, "cmdNew");
        EXPECT_EQ(prompts.messages, QStringList(2, S("Please select a non-removable drive")));
        EXPECT_TRUE(prompts.prompts.isEmpty());
        EXPECT_NE(w.result(), QDialog::Accepted);
        // Another drive is taken.
        prompts.messages.clear();
        PickDrive(w, d.at("Other"));
        EXPECT_EQ(w.OpenFolder(), d.at("Other"));
        Click(w, "cmdOK");
        EXPECT_EQ(w.Path, d.at("Other"));
        EXPECT_TRUE(prompts.messages.isEmpty());
    }

    // A drive that stopped being fixed after the list was made (a device
    // pulled out), and one that cannot be read.
    MRVDir w;
    Start(w, d.at("Fixed/Data"));
    d.fixed.removeAll(d.at("Other"));
    PickDrive(w, d.at("Other"));
    EXPECT_EQ(prompts.messages, QStringList{S("Please select a non-removable drive")});
    EXPECT_EQ(w.CurrentDrive(), d.at("Fixed"));
    EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));

    prompts.messages.clear();
    d.fixed.append(d.at("Other"));
    QFile(d.at("Other")).setPermissions(QFileDevice::WriteOwner);
    PickDrive(w, d.at("Other"));
    QFile(d.at("Other")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(prompts.messages, QStringList{S("Cannot access the specified drive")});
    EXPECT_EQ(w.CurrentDrive(), d.at("Fixed"));
    EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));
}

TEST(MRVDir, AFolderReachedInsideARefusedMountIsRefused) {
    // From the root of the fixed drive that holds the others, into the
    // removable one mounted below it.
    Drives d;
    d.fixed = {d.dir.path(), d.at("Other")};
    d.all.append(d.dir.path());
    ScriptedPrompter prompts;
    MRVDir w;
    Start(w, d.dir.path());
    OpenInChooser(w, d.at("Stick"));
    EXPECT_EQ(w.CurrentDrive(), d.at("Stick"));
    OpenInChooser(w, d.at("Stick/Photos"));
    Click(w, "cmdNew");
    EXPECT_TRUE(prompts.prompts.isEmpty());
    EXPECT_EQ(w.OpenFolder(), d.dir.path());
    OpenInChooser(w, d.at("Stick"));
    OpenInChooser(w, d.at("Stick/Photos"));
    Click(w, "cmdOK");
    EXPECT_EQ(prompts.messages, QStringList(2, S("Please select a non-removable drive")));
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Path, d.dir.path());
    // Back where the window opened, on the drive it showed then.
    EXPECT_EQ(w.OpenFolder(), d.dir.path());
    EXPECT_EQ(w.CurrentDrive(), d.dir.path());
    OpenInChooser(w, d.at("Other"));
    Click(w, "cmdOK");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Path, d.at("Other"));
}

TEST(MRVDir, WithNoPathItStartsInTheHomeFolder) {
    Drives d;
    ScopedEnv home("HOME", d.at("Fixed/Data").toUtf8());
    MRVDir w;
    w.Start();
    EXPECT_EQ(w.OpenFolder(), d.at("Fixed/Data"));
    EXPECT_EQ(w.CurrentDrive(), d.at("Fixed"));
}

TEST(MRVDir, ChooseDirectoryChangesThePathOnlyOnOk) {
    Drives d;
    ScriptedPrompter prompts;
    const QString start = d.at("Fixed/Data");
    struct Case {
        const char* how;
        bool chosen;
    };
    const Case cases[] = {{"ok", true}, {"cancel", false}, {"close box", false}, {"escape", false}};
    for (const Case& c : cases) {
        QString path = start;
        QString title;
        WhenShown<MRVDir>([&](MRVDir* w) {
            title = w->windowTitle();
            OpenInChooser(*w, d.at("Fixed/Data/Sub"));
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
        EXPECT_EQ(path, c.chosen ? d.at("Fixed/Data/Sub") : start) << c.how;
    }
}

}  // namespace
