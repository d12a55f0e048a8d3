#include "common/cmdline.h"
#include "common/fatal.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "morvenda/windows/frmMain.h"

#include <QApplication>

// The scheduler: the start-up window runs the start-up sequence, then waits
// for the operator.
int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (AnswerHelpOrVersion(
            args, QStringLiteral("Morvenda"),
            QStringLiteral("Usage: Morvenda [CONFIG[,TEMP]]\n"
                           "Runs the schedule of a schedule configuration file.\n\n"
                           "  CONFIG     the schedule configuration file (NAME.ini); a path that holds\n"
                           "             a comma is enclosed in double quotes. Without it: this\n"
                           "             computer's default schedule (the setting \"Current\"), else the\n"
                           "             first-run window.\n"
                           "  ,TEMP      (any letter case) runs CONFIG without offering it as this\n"
                           "             computer's default schedule at exit.\n")))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvenda"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    QtPrompter prompter;
    setPrompter(&prompter);
    frmMain w;
    try {
        w.Form_Load(ProgramCommandLine(args));
    } catch (const FatalStop&) {
        return 1;
    }
    w.show();
    return QApplication::exec();
}
