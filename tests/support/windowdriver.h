#pragma once

#include "gui/grid.h"
#include "tests/support/testing.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

// Helpers of the window tests. Inline: the support library is built without
// Qt Test, which every gui test program has.

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

// Driving a window's controls by their names.

/// The texts of the items of List (a list box or a combo box), in order.
template <typename List>
QStringList ItemTexts(const List* L) {
    QStringList out;
    for (int i = 0; i < L->count(); ++i) {
        if constexpr (std::is_base_of_v<QComboBox, List>)
            out << L->itemText(i);
        else
            out << L->item(i)->text();
    }
    return out;
}

/// Clears the text box Name of W and types Text into it key by key.
inline void TypeInto(QWidget& W, const char* Name, const QString& Text) {
    if (auto* box = Child<QLineEdit>(W, Name)) {
        box->clear();
        QTest::keyClicks(box, Text);
    }
}

/// Clicks the button, or triggers the menu item, named Name in W; a test
/// failure when there is neither.
inline void Press(const QObject& W, const char* Name) {
    if (auto* b = W.findChild<QAbstractButton*>(QString::fromLatin1(Name)))
        b->click();
    else
        Child<QAction>(W, Name)->trigger();
}

/// Scrolls to the cell Index of View and clicks it with the left button
/// (Clicks 2: a click and then a double-click, as a person does).
inline void ClickCell(QAbstractItemView* View, const QModelIndex& Index, int Clicks = 1,
                      Qt::KeyboardModifiers Keys = {}) {
    View->scrollTo(Index);
    const QPoint at = View->visualRect(Index).center();
    QTest::mouseClick(View->viewport(), Qt::LeftButton, Keys, at);
    if (Clicks == 2) QTest::mouseDClick(View->viewport(), Qt::LeftButton, Keys, at);
}

/// The last row (from 1) of G whose column Col reads Text; 0 when none.
inline int GridRowOf(const Grid* G, const QString& Text, int Col = 0) {
    int row = 0;
    for (int r = 1; r < G->Rows(); ++r)
        if (G->TextMatrix(r, Col) == Text) row = r;
    return row;
}
