#pragma once

#include "gui/MRVDir.h"
#include "mrvconfg/windows/frmConfig.h"
#include "tests/support/windowdriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QObject>
#include <QTimer>
#include <functional>

// Helpers of the configuration editor's window tests.

// Modal windows are driven by WhenShown and controls found by Child
// (tests/support/windowdriver.h).

/// Chooses Path in the file or folder dialog shown next and presses OK.
inline void ChooseInDialog(const QString& Path) {
    WhenShown<QFileDialog>([Path](QFileDialog* d) {
        d->selectFile(Path);
        static_cast<QDialog*>(d)->accept();
    });
}

/// Cancels the file or folder dialog shown next.
inline void CancelDialog() {
    WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
}

/// Cancels the folder chooser (the window "MRVDir") shown next.
inline void CancelFolderChooser() {
    WhenShown<QDialog>([](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("MRVDir"));
        d->reject();
    });
}

/// Chooses Folder in the folder chooser shown next and presses OK.
/// The whole file system counts as one fixed drive meanwhile.
inline void ChooseFolder(const QString& Folder) {
    SetChooserDrives([] { return QStringList{QStringLiteral("/")}; },
                     [](const QString&) { return QStringLiteral("/"); });
    WhenShown<MRVDir>([Folder](MRVDir* d) {
        d->SetFolder(Folder);
        d->cmdOK_Click();
        SetChooserDrives({}, {});
    });
}

/// The configuration editor started on Ini (Form_Load), and shown unless
/// Show is false.
class OpenConfig : public MRVConfig {
public:
    explicit OpenConfig(const QString& Ini, bool Show = true) {
        Form_Load(Ini);
        if (Show) show();
    }
};
