#include "gui/programicon.h"

#include <QApplication>

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/icons/morvenda.png")); }

void UseProgramIcon() { QApplication::setWindowIcon(ProgramIcon()); }
