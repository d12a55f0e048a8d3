#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

// A real SMTP server for the e-mailer's tests: smtp_server.py (aiosmtpd) on
// 127.0.0.1, started by the test and stopped with it. Each accepted message
// is one JSON file, decoded by Python's own e-mail parser. The helpers live in
// this header because each test program of the folder is built from its test
// files alone.

class SmtpServer {
public:
    /// Starts the server with extra options (--refuse ADDRESS, --defer
    /// ADDRESS, --user NAME --password WORD); started() tells whether it
    /// listens.
    explicit SmtpServer(const QStringList& options = {}) : options_(options) {
        QDir().mkpath(outDir());
        start();
    }

    ~SmtpServer() { stop(); }

    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    /// Stops the server: its port refuses connections until start().
    void stop() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }

    /// Starts the server (again) with its options, on its former port when it
    /// had one. True when it listens.
    bool start() {
        stop();
        QString source = qEnvironmentVariable("MRV_TEST_SOURCE_DIR");
        const QString script =
            source.isEmpty() ? QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/smtp_server.py")
                             : source + QStringLiteral("/tests/mrvemail/smtp_server.py");
        const QString portFile = dir_.path() + QStringLiteral("/port");
        QFile::remove(portFile);
        QStringList args{script, outDir(), portFile};
        if (port_ > 0) args << QStringLiteral("--port") << QString::number(port_);
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Debian's interpreter: another python3 earlier on PATH may lack aiosmtpd.
        proc_.start(QStringLiteral("/usr/bin/python3"), args + options_);
        if (!proc_.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 15000 && proc_.state() == QProcess::Running) {
            QFile f(portFile);
            if (f.open(QIODevice::ReadOnly)) {
                const int port = f.readAll().trimmed().toInt();
                if (port > 0) {
                    port_ = port;
                    return true;
                }
            }
            QThread::msleep(20);
        }
        return false;
    }

    bool started() const { return port_ > 0 && proc_.state() == QProcess::Running; }
    int port() const { return port_; }
    QString outDir() const { return dir_.path() + QStringLiteral("/out"); }

    /// The number of QUIT commands received so far.
    int quits() const {
        return static_cast<int>(QDir(outDir()).entryList({QStringLiteral("quit-*")}, QDir::Files).size());
    }

    /// Every message received so far, in order of arrival.
    QList<QJsonObject> messages() const {
        QList<QJsonObject> out;
        const QStringList names = QDir(outDir()).entryList({QStringLiteral("msg-*.json")}, QDir::Files, QDir::Name);
        for (const QString& n : names) {
            QFile f(outDir() + QLatin1Char('/') + n);
            if (f.open(QIODevice::ReadOnly)) out << QJsonDocument::fromJson(f.readAll()).object();
        }
        return out;
    }

private:
    QStringList options_;
    QTemporaryDir dir_;
    QProcess proc_;
    int port_ = 0;
};

/// Text of an EmailIni for a messages folder and a server port, with extra
/// lines for the MRVEmail section.
inline QByteArray EmailIniText(const QString& emailPath, int port, const QByteArray& extra = QByteArray()) {
    return "[MRVEmail]\r\nEmailPath=" + emailPath.toUtf8() +
           "\r\nSmtpServer=127.0.0.1\r\nSmtpPort=" + QByteArray::number(port) +
           "\r\nSmtpFrom=Morvenda <morvenda@example.org>\r\n" + extra;
}
