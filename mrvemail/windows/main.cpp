#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

#include "common/cmdline.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "mrvemail/emailconfig.h"
#include "mrvemail/windows/frmEmail.h"

// MRVEmail sends the end-of-job message files of one messages folder through
// the mail server its configuration file names, on a timer.

int main(int argc, char** argv) {
    UseOffscreenWithoutDisplay();
    // Taken before QApplication removes the options it knows.
    const QStringList args = ProgramArguments(argc, argv);
    if (AnswerHelpOrVersion(
            args, QStringLiteral("MRVEmail"),
            QStringLiteral("Usage: MRVEmail [CONFIG]\n"
                           "Sends the end-of-job message files of a messages folder by SMTP.\n\n"
                           "  CONFIG     the e-mailer's configuration file (MRVEmail.ini). Without it:\n"
                           "             MRVEmail.ini beside the program, else the setting\n"
                           "             \"MRVEmailIni\", else it asks for one.\n")))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVEmail"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    QtPrompter boxes;
    StderrPrompter noBoxes;
    const QString platform = QGuiApplication::platformName();
    const bool unseen = platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
    setPrompter(unseen ? static_cast<Prompter*>(&noBoxes) : &boxes);

    int rc = 0;
    try {
        frmEmail w;
        if (const std::optional<int> stop =
                w.Form_Load(EmailCommandLine(args), QCoreApplication::applicationFilePath())) {
            rc = *stop;
        } else {
            w.show();
            rc = app.exec();
        }
    } catch (const FatalStop& stop) {
        std::fprintf(stderr, "MRVEmail: %s\n", qPrintable(stop.reason()));
        rc = 1;
    }
    setPrompter(nullptr);
    return rc;
}
