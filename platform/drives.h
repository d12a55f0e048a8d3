#pragma once

#include <QString>
#include <QStringList>

// Drives as the scheduler understands them on Linux: a "fixed drive" is the
// mount point of a local file system that is not on a removable device; a
// path's drive is the mount point that holds it. The mount table is
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
