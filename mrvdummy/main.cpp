#include "common/cmdline.h"
#include "common/gui/errorwindow.h"
#include "common/gui/programicon.h"
#include "common/gui/qtprompter.h"
#include "common/gui/screenfit.h"
#include "mrvdummy/dummyargs.h"
#include "mrvdummy/frmDummy.h"

#include <QApplication>
#include <QStringList>

// MRVDummy stands in for a job during a dummy run: it shows the job and ends
// in success (a plain end, status 0) or in a run-time error (the error window,
// then the error's number as the exit status).

int main(int argc, char** argv) {
    UseOffscreenWithoutDisplay();
    // Taken before QApplication removes the options it knows.
    const QStringList args = ProgramArguments(argc, argv);

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
