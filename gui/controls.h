#pragma once

#include <QString>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QWidget;

// Controls made with their control name as objectName, so tests find them,
// and the accessible names by which screen readers and assistive tools find
// them: a control's caption, or its label's text, without "&" and ":".

/// A push button with Caption, owned by Parent. Its accessible name is the
/// caption without "&".
QPushButton* NamedButton(QWidget* Parent, const char* Name, const QString& Caption);

/// A menu item with Caption at the end of Menu.
QAction* NamedMenuItem(QMenu* Menu, const char* Name, const QString& Caption);

/// The accessible name of a caption: "&" marks removed ("&&" stands for one
/// "&"), ":" removed, blanks trimmed. "&Group:" gives "Group".
QString AccessibleCaption(const QString& Caption);

/// A label with Caption for Buddy: the label's mnemonic moves the focus to
/// Buddy, and Buddy's accessible name becomes AccessibleCaption(Caption).
QLabel* BuddyLabel(QWidget* Parent, const QString& Caption, QWidget* Buddy);

/// Gives every control under Window that has no accessible name yet the name
/// a screen reader should read: a label's buddy the label's text, a button or
/// check box its caption, a group box its title, a label its text (each
/// through AccessibleCaption). Controls without a caption of their own and
/// without a label keep what they have; the window names them itself.
/// Windows call it once their controls exist.
void NameControls(QWidget* Window);

/// The menu bar of a small dialog: "&File" (mnuFile) with OkCaption (mnuOK)
/// and "&Cancel" (mnuCancel), and "&Help" (mnuHelp) with "&Help" (named
/// HelpItem, key F1), each item pressing the button of the same purpose.
/// The caller places the bar in its layout.
QMenuBar* DialogMenuBar(QWidget* Window, QPushButton* OK, QPushButton* Cancel, QPushButton* Help,
                        const QString& OkCaption, const char* HelpItem);
