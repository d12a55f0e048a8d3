#include "tests/support/glusterfs.h"

#include "tests/support/programs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <csignal>

namespace {

constexpr long kFuseMagic = 0x65735546;
const char* const kHosts = "/etc/hosts";

QString Tool(const char* name) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name),
                                                         {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found.isEmpty() ? QStandardPaths::findExecutable(QString::fromLatin1(name)) : found;
}

// Runs a command to its end; false, with its output in *out, when it could
// not start, did not end within timeoutMs or failed.
bool Run(const QString& program, const QStringList& args, QString* out, int timeoutMs = 30000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        if (out) *out = program + QStringLiteral(" did not start");
        return false;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        if (out) *out = program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(" did not end");
        return false;
    }
    if (out) *out = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PortFree(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return free;
}

bool IsFuseMount(const QString& path) {
    struct statfs fs {};
    return ::statfs(QFile::encodeName(path).constData(), &fs) == 0 && fs.f_type == kFuseMagic;
}

}  // namespace

GlusterVolume::GlusterVolume() : dir_(QStringLiteral("/tmp/mrvnetfs-XXXXXX")) {
    const QString glusterd = Tool("glusterd"), gluster = Tool("gluster"), mountTool = Tool("mount.glusterfs");
    if (::geteuid() != 0) {
        error_ = QStringLiteral("GlusterFS needs root: the tests run as another user");
        return;
    }
    if (glusterd.isEmpty() || gluster.isEmpty() || mountTool.isEmpty()) {
        error_ = QStringLiteral(
            "glusterd, gluster or mount.glusterfs is not installed (glusterfs-server, glusterfs-client)");
        return;
    }
    if (!QFile::exists(QStringLiteral("/dev/fuse"))) {
        error_ = QStringLiteral("FUSE is not available: /dev/fuse is missing");
        return;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder for the volume");
        return;
    }
    if (!PortFree(24007)) {
        error_ = QStringLiteral("the GlusterFS management port 24007 is in use (another glusterd runs)");
        return;
    }
    const QString base = dir_.path();
    for (const char* sub : {"work", "brick", "m0", "m1", "log"})
        QDir().mkpath(base + QLatin1Char('/') + QLatin1String(sub));
    host_ = QStringLiteral("mrvnetfs-%1").arg(::getpid());
    volume_ = QStringLiteral("mrvnetfs%1").arg(::getpid());

    // The brick's host: a name for 127.0.0.1, taken out again at the end.
    {
        QFile hosts(QString::fromLatin1(kHosts));
        if (!hosts.open(QIODevice::Append)) {
            error_ = QStringLiteral("cannot add the volume's host name to /etc/hosts: ") + hosts.errorString();
            return;
        }
        hostsLine_ = QStringLiteral("127.0.0.1 %1 # a Morvenda netfs test").arg(host_);
        hosts.write((QLatin1Char('\n') + hostsLine_ + QLatin1Char('\n')).toUtf8());
    }

    // glusterd with a working folder of its own, so nothing of a system
    // installation is read or changed.
    QFile vol(base + QStringLiteral("/glusterd.vol"));
    vol.open(QIODevice::WriteOnly);
    vol.write(QStringLiteral("volume management\n"
                             "    type mgmt/glusterd\n"
                             "    option working-directory %1/work\n"
                             "    option transport-type socket\n"
                             "    option transport.socket.listen-port 24007\n"
                             "    option transport.socket.read-fail-log off\n"
                             "    option ping-timeout 0\n"
                             "    option event-threads 1\n"
                             "end-volume\n")
                  .arg(base)
                  .toUtf8());
    vol.close();
    QString out;
    const QString pidFile = base + QStringLiteral("/glusterd.pid");
    if (!Run(glusterd,
             {QStringLiteral("-f"), vol.fileName(), QStringLiteral("-p"), pidFile, QStringLiteral("-l"),
              base + QStringLiteral("/log/glusterd.log"), QStringLiteral("--log-level=WARNING")},
             &out)) {
        error_ = QStringLiteral("glusterd did not start: ") + out;
        tearDown();
        return;
    }
    PollUntil(
        [&] {
            QFile f(pidFile);
            if (f.open(QIODevice::ReadOnly)) glusterdPid_ = f.readAll().trimmed().toLongLong();
            return glusterdPid_ != 0;
        },
        10000);
    // Each try may itself wait up to ten seconds for an answer.
    const bool up = PollUntil(
        [&] {
            return Run(gluster, {QStringLiteral("--mode=script"), QStringLiteral("volume"), QStringLiteral("list")},
                       &out, 10000);
        },
        60000, 200);
    if (!up) {
        error_ = QStringLiteral("glusterd did not answer: ") + out;
        tearDown();
        return;
    }
    if (!Run(gluster,
             {QStringLiteral("--mode=script"), QStringLiteral("volume"), QStringLiteral("create"), volume_,
              host_ + QLatin1Char(':') + base + QStringLiteral("/brick"), QStringLiteral("force")},
             &out)) {
        error_ = QStringLiteral("the volume could not be made: ") + out;
        tearDown();
        return;
    }
    created_ = true;
    if (!Run(gluster, {QStringLiteral("--mode=script"), QStringLiteral("volume"), QStringLiteral("start"), volume_},
             &out)) {
        error_ = QStringLiteral("the volume did not start: ") + out;
        tearDown();
        return;
    }
    for (int k = 0; k < 2; ++k) {
        const QString where = mount(k);
        if (!Run(QStringLiteral("mount"),
                 {QStringLiteral("-t"), QStringLiteral("glusterfs"), QStringLiteral("-o"),
                  QStringLiteral("log-file=%1/log/m%2.log").arg(base).arg(k), host_ + QStringLiteral(":/") + volume_,
                  where},
                 &out) ||
            !IsFuseMount(where)) {
            error_ = QStringLiteral("the volume could not be mounted through FUSE: ") + out;
            tearDown();
            return;
        }
        mounted_[k] = true;
    }
}

GlusterVolume::~GlusterVolume() { tearDown(); }

QString GlusterVolume::mount(int k) const { return dir_.path() + QStringLiteral("/m%1").arg(k); }

void GlusterVolume::tearDown() {
    QString out;
    for (int k = 0; k < 2; ++k) {
        if (!mounted_[k]) continue;
        if (!Run(QStringLiteral("umount"), {mount(k)}, &out))
            Run(QStringLiteral("umount"), {QStringLiteral("-l"), mount(k)}, &out);
        mounted_[k] = false;
    }
    const QString gluster = Tool("gluster");
    if (created_) {
        Run(gluster,
            {QStringLiteral("--mode=script"), QStringLiteral("volume"), QStringLiteral("stop"), volume_,
             QStringLiteral("force")},
            &out);
        Run(gluster, {QStringLiteral("--mode=script"), QStringLiteral("volume"), QStringLiteral("delete"), volume_},
            &out);
        created_ = false;
    }
    if (glusterdPid_ > 0) {
        ::kill(static_cast<pid_t>(glusterdPid_), SIGTERM);
        PollUntil([&] { return ::kill(static_cast<pid_t>(glusterdPid_), 0) != 0; }, 5000);
        if (::kill(static_cast<pid_t>(glusterdPid_), 0) == 0) ::kill(static_cast<pid_t>(glusterdPid_), SIGKILL);
        glusterdPid_ = 0;
    }
    if (!hostsLine_.isEmpty()) {
        QFile hosts(QString::fromLatin1(kHosts));
        if (hosts.open(QIODevice::ReadOnly)) {
            QStringList lines = QString::fromUtf8(hosts.readAll()).split(QLatin1Char('\n'));
            hosts.close();
            // The line and the blank line written before it.
            const qsizetype at = lines.indexOf(hostsLine_);
            if (at >= 0) {
                lines.removeAt(at);
                if (at > 0 && lines.at(at - 1).isEmpty()) lines.removeAt(at - 1);
                if (hosts.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    hosts.write(lines.join(QLatin1Char('\n')).toUtf8());
            }
        }
        hostsLine_.clear();
    }
}
