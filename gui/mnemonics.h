#pragma once

#include <QChar>
#include <QList>
#include <QString>

class QObject;
class QWidget;

// The Alt+letter keys of a window. A letter marked with "&" in a caption is
// claimed by its control; where a menu-bar entry and a control of the same
// window claim one letter, the menu-bar entry wins: the key opens its menu
// (or runs the entry when it has none), never only moves the focus.

/// One Alt+letter of a window: the letter (upper case), who claims it and the
/// caption it comes from.
struct Mnemonic {
    QChar letter;
    QObject* owner = nullptr;
    QString caption;
    bool menuBar = false;
};

/// Every Alt+letter claimed in Window: the entries of its menu bar and the
/// buttons, boxes, group boxes and labels with a buddy among its descendants
/// (once the window is shown, only those shown: a control on a tab page in
/// the background takes no Alt+letter).
QList<Mnemonic> WindowMnemonics(QWidget* Window);

/// Makes Window's menu-bar entries win the Alt+letters they share with its
/// controls. Call it once the window's controls exist; a control whose
/// caption changes later stays covered.
void MenuBarWinsMnemonics(QWidget* Window);
