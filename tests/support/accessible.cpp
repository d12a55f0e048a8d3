#include "tests/support/accessible.h"

#include "gui/controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleInterface>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QObject>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

bool IsControl(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::SpinBox:
            return true;
        default:
            return false;
    }
}

void Walk(QAccessibleInterface* node, std::vector<AccessibleControl>& out, int depth) {
    if (!node || !node->isValid() || depth > 40) return;
    const QAccessible::Role role = node->role();
    if (IsControl(role)) {
        QString label;
        const auto labels = node->relations(QAccessible::Label);
        if (!labels.isEmpty() && labels.front().first) label = labels.front().first->text(QAccessible::Name);
        out.push_back(
            {role, node->text(QAccessible::Name), label, node->object() ? node->object()->objectName() : QString()});
        if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::ComboBox)
            return;  // their items are not controls of their own
    }
    for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), out, depth + 1);
}

}  // namespace

std::vector<AccessibleControl> AccessibleControls(QObject* Window) {
    std::vector<AccessibleControl> out;
    Walk(QAccessible::queryAccessibleInterface(Window), out, 0);
    return out;
}

const AccessibleControl* FindAccessible(const std::vector<AccessibleControl>& Controls, QAccessible::Role Role,
                                        const QString& Name) {
    for (const AccessibleControl& c : Controls)
        if (c.role == Role && (c.name == Name || (!c.label.isEmpty() && AccessibleCaption(c.label) == Name))) return &c;
    return nullptr;
}

QMap<QString, QString> ExpectAccessibleNames(QWidget* Window) {
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
