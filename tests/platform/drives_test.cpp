#include "platform/drives.h"

#include "tests/support/testing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

// The "MAJ:MIN" of the file system that holds path.
QString DeviceNumber(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return QStringLiteral("%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
}

// Mount points as the mount table escapes them.
QByteArray Escaped(const QString& path) {
    return QFile::encodeName(path).replace("\\", "\\134").replace(" ", "\\040").replace("\t", "\\011");
}

// Makes the disk Disk in the fake sysfs Sys, with its removable flag and a
// first partition when Partition is set, and links Link to the device (the
// partition, else the disk); false when the link could not be made.
bool AddDisk(const TempDir& sys, const QString& disk, const QByteArray& removable, bool partition,
             const QString& link) {
    const QString device = S("devices/") + disk + (partition ? S("/") + disk + S("1") : QString());
    sys.write(S("devices/") + disk + S("/removable"), removable);
    if (partition) sys.write(device + S("/partition"), "1\n");
    QDir().mkpath(QFileInfo(sys.path(link)).path());
    return QFile::link(sys.path(device), sys.path(link));
}

struct Fixture {
    TempDir dir;
    QString root = Canonical(dir.path());
    QString disk = root + S("/disk");
    QString blank = root + S("/my disk");
    QString net = root + S("/net");
    QString ram = root + S("/ram");
    QString mounts;
    Fixture() {
        for (const QString& d : {disk, blank, net, ram}) QDir().mkpath(d);
        QByteArray table;
        table += "proc /proc proc rw,nosuid 0 0\n";
        table += "sysfs /sys sysfs rw 0 0\n";
        table += "/dev/sda1 " + Escaped(disk) + " ext4 rw,relatime 0 0\n";
        table += "/dev/sdb1 " + Escaped(blank) + " vfat rw 0 0\n";
        table += "server:/export " + Escaped(net) + " nfs4 rw 0 0\n";
        table += "tmpfs " + Escaped(ram) + " tmpfs rw 0 0\n";
        table += "/dev/sda1 " + Escaped(disk) + " ext4 rw,relatime 0 0\n";  // mounted twice
        table += "broken line\n";
        mounts = dir.write(S("mounts"), table);
    }
};

TEST(FixedDrives, KeepsLocalFileSystemsOnce) {
    Fixture f;
    TempDir sys;  // no block devices known: nothing is removable
    EXPECT_EQ(FixedDrivesFrom(f.mounts, sys.path()), (QStringList{f.disk, f.blank, f.ram}));
    EXPECT_TRUE(FixedDrivesFrom(f.dir.path(S("missing")), sys.path()).isEmpty());
}

TEST(FixedDrives, LeavesOutRemovableDevices) {
    // Every fake mount point lies in the temporary folder, so all share its
    // device number; the fake sysfs says what that device is.
    struct Case {
        const char* name;
        bool partition;    // the device is a partition: the flag is its disk's
        const char* flag;  // removable flag
        bool removable;
    };
    const Case cases[] = {
        {"partition of a removable disk", true, "1\n", true},
        {"partition of a fixed disk", true, "0\n", false},
        {"removable whole disk", false, "1\n", true},
        {"fixed whole disk", false, "0", false},
    };
    for (const Case& c : cases) {
        Fixture f;
        TempDir sys;
        ASSERT_TRUE(AddDisk(sys, S("sdx"), c.flag, c.partition, S("dev/block/") + DeviceNumber(f.root))) << c.name;
        const QStringList drives = FixedDrivesFrom(f.mounts, sys.path());
        EXPECT_EQ(drives.isEmpty(), c.removable) << c.name << ": " << drives.join(S(",")).toStdString();
    }
}

TEST(ChooserDrives, ClassifiesRealMountTableLines) {
    // Lines as /proc/self/mounts shows them on machines that have these
    // file systems; the fake sysfs knows sdb as a removable disk.
    TempDir sys;
    ASSERT_TRUE(AddDisk(sys, S("sdb"), "1\n", true, S("class/block/sdb1")));
    struct Case {
        const char* line;
        const char* mountPoint;
        DriveKind kind;
    };
    const Case cases[] = {
        {"fs1.example.net:/export/morvenda /srv/nfs nfs4 "
         "rw,relatime,vers=4.2,rsize=1048576,wsize=1048576,namlen=255,hard,proto=tcp,timeo=600,retrans=2,sec=sys,"
         "clientaddr=192.0.2.10,local_lock=none,addr=192.0.2.20 0 0",
         "/srv/nfs", DriveKind::Remote},
        {"//fs2/share /srv/smb cifs rw,relatime,vers=3.1.1,cache=strict,username=ops,uid=1000,noforceuid,gid=1000,"
         "noforcegid,addr=192.0.2.21,file_mode=0755,dir_mode=0755,soft,nounix,serverino,mapposix,rsize=4194304,"
         "wsize=4194304,bsize=1048576,echo_interval=60,actimeo=1,closetimeo=1 0 0",
         "/srv/smb", DriveKind::Remote},
        {"gluster1:/gv0 /srv/gluster fuse.glusterfs "
         "rw,relatime,user_id=0,group_id=0,default_permissions,allow_other,max_read=131072 0 0",
         "/srv/gluster", DriveKind::Remote},
        {"ops@host.example.net:/data /home/ops/remote fuse.sshfs rw,nosuid,nodev,relatime,user_id=1000 0 0",
         "/home/ops/remote", DriveKind::Remote},
        {"tmpfs /run/user/1000 tmpfs "
         "rw,nosuid,nodev,relatime,size=1631388k,nr_inodes=407847,mode=700,uid=1000,gid=1000 0 0",
         "/run/user/1000", DriveKind::RamDisk},
        {"/dev/zram0 /var/cache/z ext4 rw,relatime 0 0", "/var/cache/z", DriveKind::RamDisk},
        {"/dev/sdb1 /media/ops/STICK vfat "
         "rw,nosuid,nodev,relatime,uid=1000,gid=1000,fmask=0022,dmask=0022,codepage=437,iocharset=ascii,"
         "shortname=mixed,showexec,utf8,flush,errors=remount-ro,uhelper=udisks2 0 0",
         "/media/ops/STICK", DriveKind::Removable},
        {"/dev/sr0 /media/ops/DISC iso9660 ro,nosuid,nodev,relatime,nojoliet,check=relaxed,map=n,blocksize=2048 0 0",
         "/media/ops/DISC", DriveKind::CdRom},
        {"/dev/nvme0n1p2 / ext4 rw,relatime,errors=remount-ro 0 0", "/", DriveKind::Fixed},
        {"/dev/mapper/vg-data /srv/data\\040files xfs rw,relatime,attr2,inode64,logbufs=8,logbsize=32k,noquota 0 0",
         "/srv/data files", DriveKind::Fixed},
        {"proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0", "/proc", DriveKind::Other},
    };
    TempDir dir;
    QByteArray table;
    for (const Case& c : cases) table += QByteArray(c.line) + '\n';
    const QString mounts = dir.write(S("mounts"), table);
    QStringList accepted;
    for (const Case& c : cases) {
        EXPECT_EQ(DriveKindFrom(S(c.mountPoint), mounts, sys.path()), c.kind) << c.line;
        if (c.kind == DriveKind::Fixed || c.kind == DriveKind::Remote) accepted << S(c.mountPoint);
    }
    EXPECT_EQ(ChooserDrivesFrom(mounts, sys.path()), accepted);
    EXPECT_EQ(DriveKindFrom(S("/not/mounted"), mounts, sys.path()), DriveKind::Other);
}

TEST(DriveOf, FindsTheMountPointThatHoldsAPath) {
    TempDir dir;
    const QString root = Canonical(dir.path());
    QDir().mkpath(root + S("/a/b"));
    QDir().mkpath(root + S("/ab"));
    QDir().mkpath(root + S("/real"));
    ASSERT_TRUE(QFile::link(root + S("/a/b"), root + S("/real/link")));
    QByteArray table = "overlay / overlay rw 0 0\n";
    table += Escaped(root + S("/a")) + " " + Escaped(root + S("/a")) + " ext4 rw 0 0\n";
    table += "/dev/x " + Escaped(root + S("/a/b")) + " ext4 rw 0 0\n";
    table += "/dev/y " + Escaped(root + S("/ab")) + " ext4 rw 0 0\n";
    const QString mounts = dir.write(S("mounts"), table);

    struct Case {
        QString path;
        QString drive;
    };
    const Case cases[] = {
        {root + S("/a/file.txt"), root + S("/a")},
        {root + S("/a"), root + S("/a")},
        {root + S("/a/b/not/there/yet.txt"), root + S("/a/b")},
        {root + S("/ab/x"), root + S("/ab")},
        {root + S("/abc/x"), S("/")},                      // "/a" is no parent of "/abc"
        {root + S("/real/link/x.txt"), root + S("/a/b")},  // links are followed
        {root + S("/a/./b/../file"), root + S("/a")},
        {S("relative/file.txt"), QString()},
        {QString(), QString()},
    };
    for (const Case& c : cases) EXPECT_EQ(DriveOfFrom(c.path, mounts), c.drive) << c.path.toStdString();
    EXPECT_EQ(DriveOfFrom(root + S("/a/x"), dir.path(S("missing"))), QString());
}

TEST(DriveOf, AgreesWithThisComputer) {
    TempDir dir;
    const QString path = Canonical(dir.path()) + S("/file.txt");
    const QString drive = DriveOf(path);
    ASSERT_FALSE(drive.isEmpty());
    EXPECT_TRUE(drive == S("/") || path.startsWith(drive + S("/"))) << drive.toStdString();
    EXPECT_EQ(DriveOf(S("/")), S("/"));
    EXPECT_FALSE(FixedDrives().contains(S("/proc")));
}

}  // namespace
