#include "common/cmdline.h"
#include "common/prompter.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "mrvchap/windows/frmMRVChap.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>

// MRVChap plays a keystroke script against another program's windows: it
// waits for the program's window and types into it.

int main(int argc, char** argv) {
    UseOffscreenWithoutDisplay();
    // Taken before QApplication removes the options it knows.
    const QStringList args = ProgramArguments(argc, argv);
    if (AnswerHelpOrVersion(args, QStringLiteral("MRVChap"),
                            QStringLiteral("Usage: MRVChap [SCRIPT[,PARM1[,PARM2...,PARM5]]]\n"
                                           "Plays a keystroke script against another program's windows.\n\n"
                                           "  SCRIPT     the key script (*.key); a bare name is looked for beside the\n"
                                           "             program. Without it: the window lists the scripts there.\n"
                                           "  PARM1-5    up to five parameters, replacing {parm1} to {parm5} in the\n"
                                           "             script; double quotes group a field that holds commas.\n")))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVChap"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    // The window says when the program ends and with which status.
    QApplication::setQuitOnLastWindowClosed(false);
    QtPrompter boxes;
    StderrPrompter noBoxes;
    const QString platform = QGuiApplication::platformName();
    const bool unseen = platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
    setPrompter(unseen ? static_cast<Prompter*>(&noBoxes) : &boxes);

    frmMRVChap w;
    QObject::connect(&w, &frmMRVChap::finished, &app, [](int status) { QCoreApplication::exit(status); });
    w.Form_Load(ProgramCommandLine(args), QCoreApplication::applicationDirPath());
    w.show();
    const int rc = app.exec();
    setPrompter(nullptr);
    return w.isFinished() ? w.exitStatus() : rc;
}
