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
