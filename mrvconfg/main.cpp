#include <QApplication>
#include <QGuiApplication>
#include <QStringList>

#include "common/cmdline.h"
#include "common/gui/qtprompter.h"
#include "common/prompter.h"
#include "mrvconfg/frmConfig.h"

// MRVConfg edits one schedule configuration file and the public holidays
// file. Its whole command line is the configuration file's path.

int main(int argc, char** argv) {
    // Taken before QApplication removes the options it knows.
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MRVConfg"));
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
