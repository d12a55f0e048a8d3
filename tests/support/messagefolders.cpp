#include "tests/support/messagefolders.h"

#include "common/textfile.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <QDir>

#include <gtest/gtest.h>

void UseMessageFolders(const TempDir& Dir) {
    G.gSchedName = S("NIGHTLY");
    G.gDateFmt = S("d mmm yyyy");
    G.gLogFile = Dir.path(S("run.log"));
    G.gEmailPath = Dir.path(S("msgs"));
    G.gEmailAttPath = Dir.path(S("att"));
    G.gEmailAddrPath = Dir.path(S("books"));
    for (const char* d : {"msgs", "att", "books", "data"}) QDir().mkpath(Dir.path(QString::fromLatin1(d)));
    Dir.write(S("books/ops.adr"),
              "; operations desk\r\nops@example.com,Operations Desk\r\n"
              "; call-out after hours\r\noncall@example.com,Ops On Call\r\n");
    Dir.write(S("books/boss.adr"), "boss@example.com,\"Boss, The\"\r\n");
    Dir.write(S("books/smith.adr"), "j.surname@example.com,Jane Surname\r\n");
}

JobRec& AddPayrollJob(DateVal Started) {
    JobRec& J = G.Jobs.emplace_back();
    J.JobName = S("PAYROLL");
    J.Group = S("FINANCE");
    J.CommandLine = S("/opt/pay/run.sh");
    J.Started = Started;
    J.Completed = DateVal::fromDateTime(2026, 12, 8, 10, 15, 30);
    J.EojTo = S("ops");
    J.EojFlags = {S(""), S("00000"), S("00000"), S("00000"), S("00000")};
    return J;
}

void ReadMessageSubjects(const QString& Folder, QSet<QString>* Subjects, int* Files) {
    const QStringList files = QDir(Folder).entryList(QDir::Files | QDir::Hidden);
    *Files = static_cast<int>(files.size());
    for (const QString& f : files) {
        EXPECT_TRUE(f.endsWith(S(".eml"))) << f.toStdString();  // no temporary file is left
        QStringList lines;
        ASSERT_TRUE(ReadTextLines(Folder + QLatin1Char('/') + f, &lines)) << f.toStdString();
        for (const QString& l : lines)
            if (l.startsWith(S("SUBJ="))) Subjects->insert(l.mid(5));
    }
}
