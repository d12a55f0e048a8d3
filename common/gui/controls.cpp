#include "common/gui/controls.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

QPushButton* NamedButton(QWidget* Parent, const char* Name, const QString& Caption) {
    auto* b = new QPushButton(Caption, Parent);
    b->setObjectName(QLatin1String(Name));
    return b;
}

QAction* NamedMenuItem(QMenu* Menu, const char* Name, const QString& Caption) {
    QAction* a = Menu->addAction(Caption);
    a->setObjectName(QLatin1String(Name));
    return a;
}
