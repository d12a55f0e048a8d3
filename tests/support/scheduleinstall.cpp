#include "tests/support/scheduleinstall.h"

#include "common/textfile.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QFile>

QString WriteScheduleIni(const QString& Base, const QString& Name) {
    for (const char* f : {"sched", "trg", "trk", "log", "eml", "adr", "att", "doc"})
        QDir().mkpath(Base + QLatin1Char('/') + QString::fromLatin1(f));
    const QString ini = QStringLiteral("%1/sched/%2.ini").arg(Base, Name);
    QFile f(ini);
    const QByteArray text = QStringLiteral(
                                "[Morvenda]\r\nScheduleName=%2\r\nScheduleFile=%1/sched/%2.sch\r\n"
                                "LogFile=%1/log/yyyymmdd.log\r\nTriggerPath=%1/trg\r\nTrackerPath=%1/trk\r\n"
                                "EmailAddrPath=%1/adr\r\nEmailPath=%1/eml\r\nEmailAttPath=%1/att\r\n"
                                "JobDocPath=%1/doc\r\nPubHols=*Missing*\r\nDayStart=00:00\r\n"
                                "MinJobLaunch=1\r\nTimerSecs=1\r\nCPULimit=9999\r\nDateDisplayFormat=0\r\n")
                                .arg(Base, Name)
                                .toUtf8();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size() || !f.flush())
        return QString();
    return ini;
}

bool SaveJobsAs(const QString& File, const std::vector<JobBuilder>& Jobs) {
    ResetState();
    G.gSchedFile = File;
    for (const JobBuilder& j : Jobs) j.add();
    const bool saved = SaveSchedule();
    ResetState();
    return saved;
}

QString ReadLogs(const QString& Folder) {
    QString all;
    for (const QString& f : QDir(Folder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(Folder + QLatin1Char('/') + f);
        if (file.open(QIODevice::ReadOnly)) all += QString::fromUtf8(file.readAll());
    }
    return all;
}

std::map<QString, int> CountLines(const QString& Text, bool FirstWord) {
    std::map<QString, int> counts;
    for (const QString& line : SplitLines(Text))
        ++counts[FirstWord ? line.section(QLatin1Char(' '), 0, 0) : line.trimmed()];
    return counts;
}

bool AnyJobRunning() {
    for (int j = 1; j <= JobCount(); ++j)
        if (Job(j).JobState == jsRunning) return true;
    return false;
}
