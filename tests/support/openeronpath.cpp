#include "tests/support/openeronpath.h"

#include "tests/support/programs.h"

#include <QFile>

#include <sys/stat.h>

OpenerOnPath::OpenerOnPath()
    : record(dir.path(S("opened.txt"))),
      path("PATH", (dir.path(S("bin")) + S(":/usr/bin:/bin")).toUtf8()),
      out("MRV_TEST_OPENED", record.toUtf8()) {
    const QString script =
        dir.write(S("bin/xdg-open"),
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$MRV_TEST_OPENED.tmp\"\n"
                  "mv \"$MRV_TEST_OPENED.tmp\" \"$MRV_TEST_OPENED\"\n");
    ::chmod(QFile::encodeName(script).constData(), 0755);
}

QString OpenerOnPath::waitRecord() const {
    QString text;
    PollUntil(
        [&] {
            QFile f(record);
            if (!f.open(QIODevice::ReadOnly)) return false;
            text = QString::fromUtf8(f.readAll());
            f.remove();
            return true;
        },
        5000, 10);
    return text;
}
