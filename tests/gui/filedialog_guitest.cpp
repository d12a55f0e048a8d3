#include "gui/filedialog.h"

#include "tests/support/asuser.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

#include <QFile>
#include <QFileDialog>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the file dialog showed when it came up, and how it ended.
struct Shown {
    bool accepted = false;
    QString name, title, filter, folder;
    QStringList preset;
    bool openMode = false;    // opens an existing file
    bool stayedOpen = false;  // OK was refused
};

// Shows Fd's open (or save) dialog; once it is up, takes what it shows,
// types Pick (unless empty) and presses OK, or Cancel when Ok is false. A
// dialog that OK leaves open is cancelled.
Shown Show(FileDialog& Fd, bool Save, const QString& Pick, bool Ok = true) {
    Shown s;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
        s = {false,
             d->objectName(),
             d->windowTitle(),
             d->selectedNameFilter(),
             d->directory().absolutePath(),
             d->selectedFiles(),
             d->acceptMode() == QFileDialog::AcceptOpen && d->fileMode() == QFileDialog::ExistingFile};
        if (!Pick.isEmpty()) d->selectFile(Pick);
        // As the operator presses OK: QFileDialog hides accept(), QDialog's is
        // public and reaches the same override.
        if (Ok) static_cast<QDialog*>(d)->accept();
        s.stayedOpen = d->isVisible();
        if (s.stayedOpen) d->reject();
    });
    s.accepted = Save ? Fd.ShowSave() : Fd.ShowOpen();
    return s;
}

TEST(QtNameFilters, ConvertsDesignFilters) {
    struct Case {
        const char* filter;
        QStringList qt;
    };
    const Case cases[] = {
        {" Files(*.ini)|*.ini", {S("Files (*.ini)")}},
        {"Ini Files (*.ini)|*.ini", {S("Ini Files (*.ini)")}},
        {"All Files|*.*", {S("All Files (*)")}},
        {"Keystroke Files(*.key)|*.key|All Files (*.*)|*.*", {S("Keystroke Files (*.key)"), S("All Files (*)")}},
        {"Texts|*.txt;*.log", {S("Texts (*.txt *.log)")}},
        {"Odd", {S("Odd (*)")}},
        {"|*.csv", {S("*.csv (*.csv)")}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(QtNameFilters(S(c.filter)), c.qt) << c.filter;
}

TEST(FileDialog, OpenReturnsTheChosenFile) {
    TempDir dir;
    dir.write(S("a.ini"), "[x]\n");
    const QString chosen = dir.write(S("b.txt"), "x");
    FileDialog fd(nullptr, S("cdgFiles"));
    fd.Filter = S(" Files(*.ini)|*.ini|All Files|*.*");
    fd.FilterIndex = 2;
    fd.FileName = S("*.ini");
    fd.InitDir = dir.path();
    fd.Flags = FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::FileMustExist;
    const Shown shown = Show(fd, false, chosen);
    ASSERT_TRUE(shown.accepted);
    EXPECT_TRUE(shown.preset.value(0).isEmpty() || !shown.preset.value(0).endsWith(S("*.ini")));
    EXPECT_EQ(shown.name, S("cdgFiles"));
    EXPECT_EQ(shown.title, S("Open"));
    EXPECT_EQ(shown.filter, S("All Files (*)"));
    EXPECT_EQ(shown.folder, QDir(dir.path()).absolutePath());
    EXPECT_TRUE(shown.openMode);
    EXPECT_EQ(fd.FileName, chosen);
    EXPECT_EQ(fd.FileTitle(), S("b.txt"));
    EXPECT_EQ(fd.FilterIndex, 2);
}

TEST(FileDialog, CancelLeavesTheFileNameAsItWas) {
    TempDir dir;
    FileDialog fd(nullptr, S("cdgKeyFiles"));
    fd.Filter = S("Keystroke Files(*.key)|*.key");
    fd.FileName = S("*.key");
    fd.InitDir = dir.path();
    fd.DialogTitle = S("Keystroke Files");
    const Shown shown = Show(fd, false, QString(), false);
    EXPECT_FALSE(shown.accepted);
    EXPECT_EQ(shown.title, S("Keystroke Files"));
    EXPECT_EQ(fd.FileName, S("*.key"));
}

TEST(FileDialog, APathInTheFileNamePresetsFolderAndName) {
    TempDir dir;
    const QString file = dir.write(S("sub/job.bat"), "x");
    FileDialog fd;
    fd.Filter = S("All Files|*.*");
    fd.FileName = file;
    fd.InitDir = S("/");  // the file name's folder wins
    const Shown shown = Show(fd, false, QString());
    ASSERT_TRUE(shown.accepted);
    EXPECT_EQ(shown.folder, QDir(dir.path(S("sub"))).absolutePath());
    EXPECT_EQ(shown.preset, QStringList{file});
    EXPECT_EQ(fd.FileName, file);
}

TEST(FileDialog, OptionChecksAskOrRefuse) {
    TempDir dir;
    const QString existing = dir.write(S("old.key"), "x");
    struct Case {
        const char* name;
        bool save;
        int flags;
        const char* defaultExt;
        QString typed;
        std::optional<MsgAnswer> answer;  // the question's answer; none: no question
        bool refused;                     // the dialog stays open
        QString result;
    };
    const Case cases[] = {
        {"create prompt, yes", false, 0x2804, "", dir.path(S("new.key")), MsgAnswer::Yes, false,
         dir.path(S("new.key"))},
        {"create prompt, no", false, 0x2804, "", dir.path(S("new.key")), MsgAnswer::No, true, QString()},
        {"create prompt, file exists", false, 0x2804, "", existing, std::nullopt, false, existing},
        {"missing folder", false, FileDialog::PathMustExist, "", dir.path(S("nowhere/x.key")), MsgAnswer::Ok, true,
         QString()},
        {"no checks", false, 0, "", dir.path(S("nowhere/x.key")), std::nullopt, false, dir.path(S("nowhere/x.key"))},
        {"save with default extension", true, 0, "key", dir.path(S("fresh")), std::nullopt, false,
         dir.path(S("fresh.key"))},
        {"overwrite, no", true, FileDialog::OverwritePrompt, "", existing, MsgAnswer::No, true, QString()},
        {"overwrite, yes", true, FileDialog::OverwritePrompt, "", existing, MsgAnswer::Yes, false, existing},
        {"save over without prompt", true, 0, "", existing, std::nullopt, false, existing},
    };
    for (const Case& c : cases) {
        ScriptedPrompter prompter;
        if (c.answer) prompter.queueAnswer(*c.answer);
        FileDialog fd(nullptr, S("cdgBrowse"));
        fd.Flags = c.flags;
        fd.DefaultExt = S(c.defaultExt);
        fd.InitDir = dir.path();
        const Shown shown = Show(fd, c.save, c.typed);
        EXPECT_EQ(shown.stayedOpen, c.refused) << c.name;
        EXPECT_EQ(shown.accepted, !c.refused) << c.name;
        EXPECT_EQ(prompter.messages.size(), c.answer ? 1 : 0) << c.name;
        if (!c.refused) {
            EXPECT_EQ(fd.FileName, c.result) << c.name;
        }
    }
}

TEST(FileDialog, RefusesAReadOnlyFileWhenAskedTo) {
    MRV_RUN_AS_USER();
    TempDir dir;
    const QString file = dir.write(S("locked.ini"), "x");
    ::chmod(QFile::encodeName(file).constData(), 0444);
    ScriptedPrompter prompter;
    FileDialog fd;
    fd.Flags = FileDialog::NoReadOnlyReturn | FileDialog::FileMustExist;
    fd.InitDir = dir.path();
    EXPECT_FALSE(Show(fd, false, file).accepted);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].contains(S("read-only")));
}

}  // namespace
