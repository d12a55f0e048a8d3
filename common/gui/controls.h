#pragma once

#include <QString>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

// Controls made with their control name as objectName, so tests find them.

/// A push button with Caption, owned by Parent.
QPushButton* NamedButton(QWidget* Parent, const char* Name, const QString& Caption);

/// A menu item with Caption at the end of Menu.
QAction* NamedMenuItem(QMenu* Menu, const char* Name, const QString& Caption);

/// The accessible name of a caption: its text without "&" (a doubled "&&"
/// stays one "&") and without ":", trimmed.
QString AccessibleCaption(const QString& Caption);

/// Gives every control under Root that has no accessible name yet the name a
/// screen reader should read: a label's buddy the label's text, a button or
/// check box its caption, a group box its title, a label its text (each
/// through AccessibleCaption). Controls without a caption of their own and
/// without a label keep what they have; the window names them itself.
void NameControlsForAccess(QWidget* Root);
