#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

// Controls of the job editor and its dialogs, made with their control name as
// objectName, their tool tip, and the accessible name a screen reader
// announces: the caption, or the text of the label that names the control,
// without "&" and ":" (AccessibleCaption of gui/controls.h).

/// A label; with Buddy, the label names Buddy (its accessible name too).
QLabel* EditLabel(QWidget* Parent, const QString& Name, const QString& Text, QWidget* Buddy = nullptr);

/// A text box named by Label (its accessible name when Label is not empty).
QLineEdit* EditBox(QWidget* Parent, const QString& Name, const QString& ToolTip = QString(),
                   const QString& Label = QString());

/// A check box with Caption; Accessible replaces the caption as accessible
/// name (for boxes without a caption).
QCheckBox* EditCheck(QWidget* Parent, const QString& Name, const QString& Caption, const QString& ToolTip = QString(),
                     const QString& Accessible = QString());

QRadioButton* EditOption(QWidget* Parent, const QString& Name, const QString& Caption);

/// A combo box, editable or a drop-down list.
QComboBox* EditCombo(QWidget* Parent, const QString& Name, bool Editable, const QString& ToolTip = QString(),
                     const QString& Label = QString());

/// Gives every button of Window without an accessible name its caption as one.
void NameButtons(QWidget* Window);

class QMenuBar;
class QPushButton;

/// The OK, "&Cancel" and "&Help" buttons of the editor's windows with their
/// menus "&File" (OK, "&Cancel") and "&Help" ("&Help", F1), each menu item
/// pressing the button of the same name. The caller places the buttons and
/// the menu bar (QLayout::setMenuBar) and connects the buttons.
struct DialogButtons {
    QPushButton* OK;
    QPushButton* Cancel;
    QPushButton* Help;
    QMenuBar* Menu;
};
DialogButtons MakeDialogButtons(QWidget* Window, const QString& OkMenuCaption);
