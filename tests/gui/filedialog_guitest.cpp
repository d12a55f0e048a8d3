#include "gui/filedialog.h"

#include "tests/support/asuser.h"
#include "tests/support/testing.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs Drive on the file dialog once it is shown (it is modal, so the call
// that shows it does not return until Drive has closed it).
void WhenShown(std::function<void(QFileDialog*)> drive) {
    QTimer::singleShot(0, [drive] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg) {
            WhenShown(drive);
            return;
        }
        drive(dlg);
    });
}

// Presses OK as the operator would (QFileDialog hides accept(), QDialog's
// is public and reaches the same override).
void Accept(QFileDialog* d) { static_cast<QDialog*>(d)->accept(); }

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
    QString name, title, filter, folder;
    bool open = false;
    WhenShown([&](QFileDialog* d) {
        name = d->objectName();
        title = d->windowTitle();
        filter = d->selectedNameFilter();
        folder = d->directory().absolutePath();
        open = d->acceptMode() == QFileDialog::AcceptOpen && d->fileMode() == QFileDialog::ExistingFile;
        EXPECT_TRUE(d->selectedFiles().value(0).isEmpty() || !d->selectedFiles().value(0).endsWith(S("*.ini")));
        d->selectFile(chosen);
        Accept(d);
    });
    ASSERT_TRUE(fd.ShowOpen());
    EXPECT_EQ(name, S("cdgFiles"));
    EXPECT_EQ(title, S("Open"));
    EXPECT_EQ(filter, S("All Files (*)"));
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
    EXPECT_TRUE(open);
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
    QString title;
    WhenShown([&](QFileDialog* d) {
        title = d->windowTitle();
        d->reject();
    });
    EXPECT_FALSE(fd.ShowOpen());
    EXPECT_EQ(title, S("Keystroke Files"));
    EXPECT_EQ(fd.FileName, S("*.key"));
}

TEST(FileDialog, APathInTheFileNamePresetsFolderAndName) {
    TempDir dir;
    const QString file = dir.write(S("sub/job.bat"), "x");
    FileDialog fd;
    fd.Filter = S("All Files|*.*");
    fd.FileName = file;
    fd.InitDir = S("/");  // the file name's folder wins
    QStringList preset;
    QString folder;
    WhenShown([&](QFileDialog* d) {
        preset = d->selectedFiles();
        folder = d->directory().absolutePath();
        Accept(d);
    });
    ASSERT_TRUE(fd.ShowOpen());
    EXPECT_EQ(folder, QDir(dir.path(S("sub"))).absolutePath());
    EXPECT_EQ(preset, QStringList{file});
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
        bool stayedOpen = false;
        WhenShown([&](QFileDialog* d) {
            d->selectFile(c.typed);
            Accept(d);
            stayedOpen = d->isVisible();
            if (stayedOpen) d->reject();
        });
        const bool accepted = c.save ? fd.ShowSave() : fd.ShowOpen();
        EXPECT_EQ(stayedOpen, c.refused) << c.name;
        EXPECT_EQ(accepted, !c.refused) << c.name;
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
    WhenShown([&](QFileDialog* d) {
        d->selectFile(file);
        Accept(d);
        if (d->isVisible()) d->reject();
    });
    EXPECT_FALSE(fd.ShowOpen());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].contains(S("read-only")));
}

}  // namespace
