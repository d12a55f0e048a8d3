#pragma once

#include <QString>
#include <QStringList>

// Drives as the scheduler understands them on Linux: a "fixed drive" is the
// mount point of a local file system that is not on a removable device; a
// path's drive is the mount point that holds it. The directory chooser also
// accepts remote drives (network file systems). The mount table is
// /proc/self/mounts, the removable flag that of the block device in sysfs.

/// Mount points of the fixed drives, in mount-table order, each once. Pseudo
/// file systems (proc, sysfs, cgroup, devtmpfs, ...) and network file systems
/// (nfs, cifs, sshfs, ...) are left out, and so is any file system whose block
/// device (or the disk of its partition) has the sysfs removable flag set.
/// Empty when the mount table cannot be read.
QStringList FixedDrives();

/// The mount point that holds Path: the longest mount point of the mount
/// table that is Path itself or one of its parent folders, after the symbolic
/// links of the part of Path that exists are resolved (Path itself need not
/// exist). "" when Path is not absolute or the mount table cannot be read.
QString DriveOf(const QString& Path);

/// FixedDrives over a given mount table file and sysfs root (tests; the real
/// ones are "/proc/self/mounts" and "/sys"). A mount point's device is found
/// through the device number of the mount point itself.
QStringList FixedDrivesFrom(const QString& MountsFile, const QString& SysRoot);

/// DriveOf over a given mount table file (tests).
QString DriveOfFrom(const QString& Path, const QString& MountsFile);

/// What a mounted file system is as a drive a folder may be chosen on.
enum class DriveKind {
    Fixed,      ///< a local file system on a disk that stays
    Remote,     ///< files on another computer (NFS, SMB/CIFS, GlusterFS, sshfs, ...)
    Removable,  ///< on a device with the sysfs removable flag (USB sticks, card readers)
    CdRom,      ///< an optical disc (iso9660, udf, /dev/sr*)
    RamDisk,    ///< in memory, gone at the next start (tmpfs, ramfs, /dev/ram*, /dev/zram*)
    Other,      ///< kernel interfaces and placeholders (proc, sysfs, autofs, ...)
};

/// The kind of a mount table entry from its file system type, its device
/// (the first field) and the removable flag of that device.
DriveKind MountKind(const QString& FsType, const QString& Device, bool RemovableDevice);

/// Mount points of the drives a folder may be chosen on: the fixed and the
/// remote ones, in mount-table order, each once. Empty when the mount table
/// cannot be read.
QStringList ChooserDrives();

/// ChooserDrives over a given mount table and sysfs root (tests).
QStringList ChooserDrivesFrom(const QString& MountsFile, const QString& SysRoot);

/// The kind of the drive mounted at MountPoint (the last entry of the table
/// for it, the one in force); Other when no entry is there.
DriveKind DriveKindFrom(const QString& MountPoint, const QString& MountsFile, const QString& SysRoot);
