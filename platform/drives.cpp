#include "platform/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

const QString kMounts = QStringLiteral("/proc/self/mounts");
const QString kSysRoot = QStringLiteral("/sys");

struct MountEntry {
    QString device;
    QString mountPoint;
    QString type;
};

// File systems that hold no files of the operator's (kernel interfaces,
// automounter placeholders).
const QSet<QString>& PseudoTypes() {
    static const QSet<QString> types = {
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),
        QStringLiteral("securityfs"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("pstore"),
        QStringLiteral("bpf"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("configfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("autofs"),
        QStringLiteral("efivarfs"),
        QStringLiteral("selinuxfs"),
        QStringLiteral("nsfs"),
        QStringLiteral("rpc_pipefs"),
        QStringLiteral("nfsd"),
        QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"),
    };
    return types;
}

// File systems whose files live on another computer.
const QSet<QString>& NetworkTypes() {
    static const QSet<QString> types = {
        QStringLiteral("nfs"),         QStringLiteral("nfs4"),           QStringLiteral("cifs"),
        QStringLiteral("smb3"),        QStringLiteral("smbfs"),          QStringLiteral("ncpfs"),
        QStringLiteral("afs"),         QStringLiteral("ceph"),           QStringLiteral("glusterfs"),
        QStringLiteral("9p"),          QStringLiteral("lustre"),         QStringLiteral("coda"),
        QStringLiteral("davfs"),       QStringLiteral("orangefs"),       QStringLiteral("fuse.sshfs"),
        QStringLiteral("sshfs"),       QStringLiteral("fuse.glusterfs"), QStringLiteral("fuse.davfs2"),
        QStringLiteral("fuse.rclone"), QStringLiteral("fuse.s3fs"),      QStringLiteral("fuse.ceph"),
    };
    return types;
}

// The mount table escapes blanks, tabs, line ends and backslashes in its
// fields as a backslash and three octal digits.
QString Unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char c : digits) ok = ok && c >= '0' && c <= '7';
            if (ok) {
                out.append(static_cast<char>(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

// Every entry of the mount table; false when it cannot be read.
bool ReadMounts(const QString& file, QList<MountEntry>* entries) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    // /proc files report no size, so read until the end rather than by size.
    const QByteArray all = f.readAll();
    for (const QByteArray& line : all.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) continue;
        entries->append({Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
    }
    return true;
}

QByteArray ReadSmallFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.read(64).trimmed();
}

// The removable flag of the block device that holds the mount point: the
// device named in the mount table (/dev/sdb1 is /sys/class/block/sdb1), else
// the device number of the mount point itself (/sys/dev/block/MAJ:MIN); a
// partition keeps the flag in its disk, the folder above it. File systems
// without a block device (tmpfs, overlay, ...) have no such entry and count
// as not removable.
bool OnRemovableDevice(const QString& mountPoint, const QString& deviceName, const QString& sysRoot) {
    QString device;
    if (deviceName.startsWith(QLatin1String("/dev/")))
        device = QFileInfo(QStringLiteral("%1/class/block/%2").arg(sysRoot, QFileInfo(deviceName).fileName()))
                     .canonicalFilePath();
    struct stat st {};
    if (device.isEmpty() && ::stat(QFile::encodeName(mountPoint).constData(), &st) == 0)
        device =
            QFileInfo(QStringLiteral("%1/dev/block/%2:%3").arg(sysRoot).arg(major(st.st_dev)).arg(minor(st.st_dev)))
                .canonicalFilePath();
    if (device.isEmpty()) return false;
    QString flagFolder = device;
    if (QFileInfo::exists(device + QStringLiteral("/partition"))) flagFolder = QFileInfo(device).path();
    return ReadSmallFile(flagFolder + QStringLiteral("/removable")) == "1";
}

// True when Folder is Path or one of its parent folders (both absolute and clean).
bool Holds(const QString& folder, const QString& path) {
    if (folder == QLatin1String("/")) return true;
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

// Path with the symbolic links of its longest existing part resolved; the
// part that does not exist yet is appended as it is.
QString ResolveExistingPart(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    QString head = clean;
    QString rest;
    for (;;) {
        const QString real = QFileInfo(head).canonicalFilePath();
        if (!real.isEmpty()) return rest.isEmpty() ? real : QDir::cleanPath(real + QLatin1Char('/') + rest);
        if (head == QLatin1String("/")) return clean;
        const int slash = head.lastIndexOf(QLatin1Char('/'));
        const QString name = head.mid(slash + 1);
        rest = rest.isEmpty() ? name : name + QLatin1Char('/') + rest;
        head = slash <= 0 ? QStringLiteral("/") : head.left(slash);
    }
}

}  // namespace

QStringList FixedDrivesFrom(const QString& MountsFile, const QString& SysRoot) {
    QList<MountEntry> entries;
    if (!ReadMounts(MountsFile, &entries)) return {};
    QStringList drives;
    for (const MountEntry& m : entries) {
        if (!m.mountPoint.startsWith(QLatin1Char('/')) || PseudoTypes().contains(m.type) ||
            NetworkTypes().contains(m.type) || drives.contains(m.mountPoint))
            continue;
        if (OnRemovableDevice(m.mountPoint, m.device, SysRoot)) continue;
        drives.append(m.mountPoint);
    }
    return drives;
}

QString DriveOfFrom(const QString& Path, const QString& MountsFile) {
    if (!QDir::isAbsolutePath(Path) || !Path.startsWith(QLatin1Char('/'))) return QString();
    QList<MountEntry> entries;
    if (!ReadMounts(MountsFile, &entries)) return QString();
    const QString path = ResolveExistingPart(Path);
    QString best;
    for (const MountEntry& m : entries) {
        const QString point = QDir::cleanPath(m.mountPoint);
        if (point.startsWith(QLatin1Char('/')) && Holds(point, path) && point.size() > best.size()) best = point;
    }
    return best;
}

DriveKind MountKind(const QString& FsType, const QString& Device, bool RemovableDevice) {
    if (NetworkTypes().contains(FsType)) return DriveKind::Remote;
    if (PseudoTypes().contains(FsType)) return DriveKind::Other;
    // A FUSE file system of a kind not listed is remote when its source names
    // another computer ("host:/path", "user@host:path").
    if (FsType.startsWith(QLatin1String("fuse.")) && !Device.startsWith(QLatin1Char('/')) &&
        Device.contains(QLatin1Char(':')))
        return DriveKind::Remote;
    const QString name = Device.startsWith(QLatin1String("/dev/")) ? Device.mid(5) : QString();
    const auto numbered = [&](QLatin1String prefix) {
        if (!name.startsWith(prefix) || name.size() == prefix.size()) return false;
        for (qsizetype i = prefix.size(); i < name.size(); ++i)
            if (!name[i].isDigit()) return false;
        return true;
    };
    if (FsType == QLatin1String("tmpfs") || FsType == QLatin1String("ramfs") || numbered(QLatin1String("ram")) ||
        numbered(QLatin1String("zram")))
        return DriveKind::RamDisk;
    if (FsType == QLatin1String("iso9660") || FsType == QLatin1String("udf") || numbered(QLatin1String("sr")) ||
        name == QLatin1String("cdrom"))
        return DriveKind::CdRom;
    if (RemovableDevice) return DriveKind::Removable;
    return DriveKind::Fixed;
}

namespace {

DriveKind KindOf(const MountEntry& m, const QString& sysRoot) {
    // A network file system's mount point is never looked up on the disk:
    // a server that does not answer would hold the window.
    const DriveKind kind = MountKind(m.type, m.device, false);
    if (kind != DriveKind::Fixed) return kind;
    return OnRemovableDevice(m.mountPoint, m.device, sysRoot) ? DriveKind::Removable : DriveKind::Fixed;
}

}  // namespace

QStringList ChooserDrivesFrom(const QString& MountsFile, const QString& SysRoot) {
    QList<MountEntry> entries;
    if (!ReadMounts(MountsFile, &entries)) return {};
    // Each mount point once, where it first appears, with the file system
    // mounted there last (the one in force).
    QStringList points;
    QHash<QString, MountEntry> last;
    for (const MountEntry& m : entries) {
        if (!m.mountPoint.startsWith(QLatin1Char('/'))) continue;
        if (!last.contains(m.mountPoint)) points.append(m.mountPoint);
        last.insert(m.mountPoint, m);
    }
    QStringList drives;
    for (const QString& point : points) {
        const DriveKind kind = KindOf(last.value(point), SysRoot);
        if (kind == DriveKind::Fixed || kind == DriveKind::Remote) drives.append(point);
    }
    return drives;
}

DriveKind DriveKindFrom(const QString& MountPoint, const QString& MountsFile, const QString& SysRoot) {
    QList<MountEntry> entries;
    if (!ReadMounts(MountsFile, &entries)) return DriveKind::Other;
    const QString point = QDir::cleanPath(MountPoint);
    // A mount point mounted over again shows the last file system mounted there.
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const MountEntry& m = entries[i];
        if (QDir::cleanPath(m.mountPoint) == point) return KindOf(m, SysRoot);
    }
    return DriveKind::Other;
}

QStringList ChooserDrives() { return ChooserDrivesFrom(kMounts, kSysRoot); }

QStringList FixedDrives() { return FixedDrivesFrom(kMounts, kSysRoot); }

QString DriveOf(const QString& Path) { return DriveOfFrom(Path, kMounts); }
