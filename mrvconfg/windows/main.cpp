#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

#include "common/cmdline.h"
#include "common/prompter.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "mrvconfg/windows/frmConfig.h"

// MRVConfg edits one schedule configuration file and the public holidays
// file. Its whole command line is the configuration file's path.

int main(int argc, char** argv) {
    if (AnswerHelpOrVersion(
            ProgramArguments(argc, argv), QStringLiteral("MRVConfg"),
            QStringLiteral("Usage: MRVConfg [CONFIG]\n"
                           "Edits a schedule configuration file and its public holidays file.\n\n"
                           "  CONFIG     the schedule configuration file (the whole command line is its\n"
                           "             path). Without it: this computer's default schedule (the\n"
                           "             setting \"Current\").\n")))
        return 0;
    // An editor is of no use without a screen: say so instead of failing
    // inside the window system.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "MRVConfg: no display (DISPLAY is not set); run it on a desktop or under xvfb-run.\n");
        return 1;
    }
    // Taken before QApplication removes the options it knows.
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVConfg"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    QtPrompter boxes;
    setPrompter(&boxes);

    int rc = 0;
    {
        MRVConfig w;
        w.Form_Load(ProgramCommandLine(args));
        w.show();
        rc = app.exec();
    }
    setPrompter(nullptr);
    return rc;
}
