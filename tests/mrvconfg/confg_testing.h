#pragma once

#include "common/gui/MRVDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QObject>
#include <QTimer>
#include <functional>

// Helpers of the configuration editor's window tests.

/// Runs Drive on the first modal window of type D once it is shown (the call
/// that shows it does not return until Drive has closed it).
template <typename D>
void WhenShown(std::function<void(D*)> drive) {
    QTimer::singleShot(0, [drive] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dlg) {
            WhenShown<D>(drive);
            return;
        }
        drive(dlg);
    });
}

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
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}
