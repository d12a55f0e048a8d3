#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMap>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Helpers of the window tests.

// Driving modal windows from a test: the call that shows one does not return
// until it closes, so the test hands over what to do with it beforehand.

/// Once a modal window of type T is active (checked whenever window events
/// run, for at most ten seconds), calls Drive with it, once.
template <typename T>
void WhenShown(std::function<void(T*)> Drive, QDeadlineTimer Until = QDeadlineTimer(10000)) {
    QTimer::singleShot(Until.remainingTime() > 9990 ? 0 : 10, [Drive, Until] {
        T* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (w)
            Drive(w);
        else if (!Until.hasExpired())
            WhenShown<T>(Drive, Until);
    });
}

/// The child of W named Name (objectName) of type T; a test failure, and
/// nullptr, when there is none.
template <typename T>
T* Child(const QObject& W, const char* Name) {
    T* c = W.findChild<T*>(QString::fromLatin1(Name));
    EXPECT_NE(c, nullptr) << Name;
    return c;
}

/// Every named control of Window (buttons, check boxes, options, lists,
/// combo boxes, text boxes, calendars) has an accessible name; returns them
/// by objectName.
inline QMap<QString, QString> ExpectAccessibleNames(QWidget* Window) {
    QMap<QString, QString> names;
    for (QWidget* w : Window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QAbstractItemView*>(w) &&
            !qobject_cast<QComboBox*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<QCalendarWidget*>(w))
            continue;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << name.toStdString();
        names.insert(name, w->accessibleName());
    }
    return names;
}
