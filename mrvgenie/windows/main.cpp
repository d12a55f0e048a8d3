#include <QApplication>

#include "common/cmdline.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "mrvgenie/windows/MRVGPages.h"

// MRVGenie sets up a new installation: it asks for a base folder, a schedule
// name, the working days and the date display order, then makes the folders,
// the configuration files and the settings that point to them.

int main(int argc, char** argv) {
    if (AnswerHelpOrVersion(ProgramArguments(argc, argv), QStringLiteral("MRVGenie"),
                            QStringLiteral("Usage: MRVGenie\n"
                                           "Sets up a new installation: base folder, schedule, configuration files\n"
                                           "and settings. It takes no operands.\n")))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVGenie"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    QApplication::setQuitOnLastWindowClosed(false);
    QtPrompter boxes;
    setPrompter(&boxes);

    int rc = 0;
    {
        MRVGenie genie(ProgramFolder());
        QObject::connect(
            &genie, &MRVGenie::finished, &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        genie.Start();
        rc = app.exec();
    }
    setPrompter(nullptr);
    return rc;
}
