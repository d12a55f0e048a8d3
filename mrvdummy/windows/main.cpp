#include "common/cmdline.h"
#include "gui/errorwindow.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "mrvdummy/dummyargs.h"
#include "mrvdummy/windows/frmDummy.h"

#include <QApplication>
#include <QStringList>

// MRVDummy stands in for a job during a dummy run: it shows the job and ends
// in success (a plain end, status 0) or in a run-time error (the error window,
// then the error's number as the exit status).

int main(int argc, char** argv) {
    UseOffscreenWithoutDisplay();
    // Taken before QApplication removes the options it knows.
    const QStringList args = ProgramArguments(argc, argv);
    if (AnswerHelpOrVersion(
            args, QStringLiteral("MRVDummy"),
            QStringLiteral("Usage: MRVDummy OPERAND[,OPERAND...]\n"
                           "Stands in for a job during a dummy run. Operands, separated by commas:\n\n"
                           "  JN=name              the job's name (JOBNAME=, J=)\n"
                           "  CL=\"command line\"    the job's command line, inner quotes doubled (CMDLINE=, C=)\n"
                           "  F=\"frequency\"        the job's frequency (FREQUENCY=, FREQ=)\n"
                           "  OTT=On|Off           bring the window to the top every 5 seconds, or not\n"
                           "                       (ONTOPTIMER=, ONTOP=)\n"
                           "  RFS=seconds          end by itself after that long, 1 to 3600 (RUNFORSECS=,\n"
                           "                       RUNFOR=, RUN=); without it, wait for the operator\n"
                           "  RES=S|F              end in success or in failure (RESULT=)\n"
                           "  GO=Y|N               start at once, or wait for the Go button\n")))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVDummy"));
    UseProgramIcon();
    KeepWindowsOnScreen();
    QtPrompter prompts;
    setPrompter(&prompts);

    frmDummy w(ProgramCommandLine(args));
    int status = 0;
    QObject::connect(&w, &frmDummy::runTimeError, &app, [&](int number, const QString& text) {
        status = number;
        // The error window stands over the dummy's window (so closing it closes
        // the pair) and the program ends once it is closed; with no one to see
        // it, its text goes to standard error and the program ends at once.
        ShowErrorWindow(QStringLiteral("MRVDummy"), text, &w);
        QCoreApplication::exit(number);
    });
    w.show();
    const int rc = app.exec();
    setPrompter(nullptr);
    // A failure must never end as a success, whatever closed the windows.
    return status != 0 ? status : rc;
}
