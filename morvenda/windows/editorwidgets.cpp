#include "morvenda/windows/editorwidgets.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "gui/controls.h"
#include "gui/mnemonics.h"

QLabel* EditLabel(QWidget* Parent, const QString& Name, const QString& Text, QWidget* Buddy) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    if (Buddy) {
        l->setBuddy(Buddy);
        Buddy->setAccessibleName(AccessibleCaption(Text));
    }
    return l;
}

QLineEdit* EditBox(QWidget* Parent, const QString& Name, const QString& ToolTip, const QString& Label) {
    auto* b = new QLineEdit(Parent);
    b->setObjectName(Name);
    b->setToolTip(ToolTip);
    if (!Label.isEmpty()) b->setAccessibleName(AccessibleCaption(Label));
    return b;
}

QCheckBox* EditCheck(QWidget* Parent, const QString& Name, const QString& Caption, const QString& ToolTip,
                     const QString& Accessible) {
    auto* c = new QCheckBox(Caption, Parent);
    c->setObjectName(Name);
    c->setToolTip(ToolTip);
    c->setAccessibleName(AccessibleCaption(Accessible.isEmpty() ? Caption : Accessible));
    return c;
}

QRadioButton* EditOption(QWidget* Parent, const QString& Name, const QString& Caption) {
    auto* o = new QRadioButton(Caption, Parent);
    o->setObjectName(Name);
    o->setAccessibleName(AccessibleCaption(Caption));
    return o;
}

QComboBox* EditCombo(QWidget* Parent, const QString& Name, bool Editable, const QString& ToolTip,
                     const QString& Label) {
    auto* c = new QComboBox(Parent);
    c->setObjectName(Name);
    c->setEditable(Editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setToolTip(ToolTip);
    if (!Label.isEmpty()) c->setAccessibleName(AccessibleCaption(Label));
    return c;
}

void NameButtons(QWidget* Window) {
    for (QAbstractButton* b : Window->findChildren<QAbstractButton*>()) {
        if (b->accessibleName().isEmpty()) b->setAccessibleName(AccessibleCaption(b->text()));
    }
}

DialogButtons MakeDialogButtons(QWidget* Window, const QString& OkMenuCaption) {
    DialogButtons d{NamedButton(Window, "cmdOK", QStringLiteral("OK")),
                    NamedButton(Window, "cmdCancel", QStringLiteral("&Cancel")),
                    NamedButton(Window, "cmdHelp", QStringLiteral("&Help")), nullptr};
    for (QPushButton* b : {d.OK, d.Cancel, d.Help}) b->setAutoDefault(false);
    d.Menu = DialogMenuBar(Window, d.OK, d.Cancel, d.Help, OkMenuCaption, "mnuHelpHelp");
    // Once the window's controls all exist (its constructor has ended), the
    // menu bar wins the Alt+letters it shares with them.
    QTimer::singleShot(0, Window, [Window] { MenuBarWinsMnemonics(Window); });
    return d;
}
