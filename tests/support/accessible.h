#pragma once

#include <QAccessible>
#include <QMap>
#include <QString>

#include <vector>

class QObject;
class QWidget;

// What assistive tools see of a window: its controls as the accessibility
// interface (QAccessible) publishes them.

struct AccessibleControl {
    QAccessible::Role role;
    QString name;
    /// The text of the label it is labelled by (a label's buddy), "" for none.
    QString label;
    QString objectName;
};

/// Every button, check box, option, box, field, list, table and spin box
/// of Window, walked through QAccessible from the window down (item views
/// and combo boxes count as one control each).
std::vector<AccessibleControl> AccessibleControls(QObject* Window);

/// The control of that role whose accessible name is Name, or whose label
/// reads Name once "&" and ":" are taken out (on Linux a combo box's name is
/// its current text; assistive tools find it by its label), or null.
const AccessibleControl* FindAccessible(const std::vector<AccessibleControl>& Controls, QAccessible::Role Role,
                                        const QString& Name);

/// Every named control of Window (buttons, check boxes, options, lists,
/// combo boxes, text boxes, calendars) has an accessible name; returns them
/// by objectName.
QMap<QString, QString> ExpectAccessibleNames(QWidget* Window);
