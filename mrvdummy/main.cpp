#include "common/gui/errorwindow.h"
#include "common/gui/qtprompter.h"
#include "common/cmdline.h"
#include "mrvdummy/dummyargs.h"
#include "mrvdummy/frmDummy.h"

#include <QApplication>
#include <QStringList>

// MRVDummy stands in for a job during a dummy run: it shows the job and ends
// in success (a plain end, status 0) or in a run-time error (the error window,
// then the error's number as the exit status).

int main(int argc, char** argv) {
    // With no display at all the program still runs, on Qt's offscreen
    // platform, so a dummy run on a machine without a desktop keeps working.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Taken before QApplication removes the options it knows (-style, ...),
    // which could be parts of a job's command line.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVDummy"));
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
