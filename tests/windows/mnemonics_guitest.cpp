#include "gui/mnemonics.h"

#include "tests/windows/allwindows.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>

// Every window of every program, checked for its Alt+letters: a letter may be
// claimed twice only by one menu-bar entry and controls, and then pressing it
// must make the menu-bar entry act, every time.

namespace {

QMenuBar* BarOf(QWidget* w) {
    for (QMenuBar* bar : w->findChildren<QMenuBar*>())
        if (bar->window() == w) return bar;
    return nullptr;
}

QString Describe(const QList<Mnemonic>& claims) {
    QStringList out;
    for (const Mnemonic& m : claims)
        out << (m.owner->objectName().isEmpty() ? m.caption : m.owner->objectName()) + S(" \"") + m.caption + S("\"");
    return out.join(S(", "));
}

// Presses Alt+letter as often as there are claimants and once more, so that
// each of them would have had its turn; the menu-bar entry must act on every
// press.
void ExpectMenuBarActs(QWidget* window, QAction* entry, QChar letter, int claimants) {
    QMenuBar* bar = BarOf(window);
    ASSERT_NE(bar, nullptr);
    // The entry's own effects (closing the window, ...) are not wanted here.
    QObject::disconnect(entry, &QAction::triggered, nullptr, nullptr);
    QSignalSpy triggered(entry, &QAction::triggered);
    const auto key = static_cast<Qt::Key>(Qt::Key_A + (letter.unicode() - u'A'));
    for (int press = 1; press <= claimants + 1; ++press) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, key, Qt::AltModifier);
        QCoreApplication::processEvents();
        if (entry->menu()) {
            EXPECT_EQ(bar->activeAction(), entry) << "press " << press;
            entry->menu()->hide();
            bar->setActiveAction(nullptr);
            QCoreApplication::processEvents();
        } else {
            EXPECT_EQ(triggered.count(), press);
        }
    }
}

void CheckPage(QWidget* window);

// Each page of a window's tabs is checked in front.
void CheckWindow(QWidget* window) {
    SCOPED_TRACE(window->objectName().toStdString());
    const QList<QTabWidget*> tabs = window->findChildren<QTabWidget*>();
    if (tabs.isEmpty()) {
        CheckPage(window);
        return;
    }
    for (int page = 0; page < tabs.first()->count(); ++page) {
        SCOPED_TRACE(tabs.first()->tabText(page).toStdString());
        tabs.first()->setCurrentIndex(page);
        QCoreApplication::processEvents();
        CheckPage(window);
    }
}

void CheckPage(QWidget* window) {
    std::map<char16_t, QList<Mnemonic>> byLetter;
    for (const Mnemonic& m : WindowMnemonics(window)) byLetter[m.letter.unicode()].append(m);
    for (const auto& [letter, claims] : byLetter) {
        if (claims.size() < 2) continue;
        QList<Mnemonic> entries;
        for (const Mnemonic& m : claims)
            if (m.menuBar) entries.append(m);
        const QString who = Describe(claims);
        if (entries.size() != 1) {
            ADD_FAILURE() << "Alt+" << QString(QChar(letter)).toStdString() << " is claimed by: " << who.toStdString();
            continue;
        }
        SCOPED_TRACE((S("Alt+") + QString(QChar(letter)) + S(": ") + who).toStdString());
        ExpectMenuBarActs(window, qobject_cast<QAction*>(entries[0].owner), QChar(letter),
                          static_cast<int>(claims.size()));
    }
}

using MnemonicsTest = AllWindowsTest;

TEST_F(MnemonicsTest, EveryAltLetterOfEveryWindowDoesOneThing) {
    int checked = 0;
    for (const WindowFactory& f : AllWindows()) {
        SCOPED_TRACE(f.name);
        const QWidgetList before = QApplication::topLevelWidgets();
        std::unique_ptr<QWidget> w = f.make();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        // The window and any other window it opened itself.
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (before.contains(top) || !top->isVisible() || qobject_cast<QMenu*>(top)) continue;
            CheckWindow(top);
            ++checked;
        }
    }
    EXPECT_GE(checked, static_cast<int>(AllWindows().size()));
}

TEST_F(MnemonicsTest, ClashesAreFound) {
    // A window where two buttons share a letter, and one where a button
    // shares the menu bar's letter without the menu bar winning.
    QWidget plain;
    plain.setObjectName(S("plain"));
    auto* bar = new QMenuBar(&plain);
    bar->addMenu(S("&File"));
    new QPushButton(S("&Fetch"), &plain);
    new QPushButton(S("&Go"), &plain);
    new QPushButton(S("&Gone"), &plain);
    std::map<char16_t, int> count;
    for (const Mnemonic& m : WindowMnemonics(&plain)) ++count[m.letter.unicode()];
    EXPECT_EQ(count[u'F'], 2);
    EXPECT_EQ(count[u'G'], 2);

    // Without the helper the button steals a press; with it the menu opens.
    plain.show();
    plain.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&plain));
    QAction* file = bar->actions().first();
    int opened = 0;
    for (int press = 0; press < 2; ++press) {
        QTest::keyClick(&plain, Qt::Key_F, Qt::AltModifier);
        QCoreApplication::processEvents();
        opened += bar->activeAction() == file;
        file->menu()->hide();
        bar->setActiveAction(nullptr);
        plain.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&plain));
    }
    EXPECT_LT(opened, 2);
    MenuBarWinsMnemonics(&plain);
    ExpectMenuBarActs(&plain, file, QLatin1Char('F'), 2);
}

}  // namespace
