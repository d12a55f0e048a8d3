#include "tests/support/programs.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

QString BuiltProgram(const char* Name) {
    return qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/") + QString::fromLatin1(Name);
}

QProcessEnvironment ProgramEnvironment(const std::vector<std::pair<const char*, QString>>& Set) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("MRV_CMDLINE"));
    env.remove(QStringLiteral("MRV_CMDLINE_PID"));
    for (const auto& [name, value] : Set) {
        if (value.isNull())
            env.remove(QString::fromLatin1(name));
        else
            env.insert(QString::fromLatin1(name), value);
    }
    return env;
}

std::unique_ptr<QProcess> StartProgram(const QString& Program, const QStringList& Args,
                                       const std::vector<std::pair<const char*, QString>>& Env,
                                       QProcess::ProcessChannelMode Channels) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(ProgramEnvironment(Env));
    p->setProcessChannelMode(Channels);
    p->start(Program, Args);
    EXPECT_TRUE(p->waitForStarted(5000)) << Program.toStdString();
    return p;
}

bool PollUntil(const std::function<bool()>& Step, int TimeoutMs, int EveryMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < TimeoutMs) {
        QThread::msleep(static_cast<unsigned long>(EveryMs));
        if (Step()) return true;
    }
    return false;
}
