#include "gui/help.h"

#include "common/prompter.h"
#include "platform/shell.h"

#include <QFileInfo>

bool ShowHelpPage(const QString& Page, const QString& Named) {
    if (!QFileInfo(Page).isFile()) {
        MsgBox(QStringLiteral("Sorry - cannot find a help file matching \"%1\"").arg(Named));
        return false;
    }
    QString error;
    if (!ShellOpen(Page, &error)) {
        MsgBox(error, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    return true;
}
