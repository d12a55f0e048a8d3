#pragma once

#include "gui/MRVDir.h"
#include "tests/support/guitest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QObject>
#include <QTimer>
#include <functional>

// Helpers of the configuration editor's window tests.

// Modal windows are driven by WhenShown and controls found by Child
// (tests/support/guitest.h).

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

/// The control of that name; fails the test when there is none.
template <typename T>
T* Find(const QObject& w, const char* name) {
    return Child<T>(w, name);
}
