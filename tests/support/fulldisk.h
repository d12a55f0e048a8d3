#pragma once

#include "tests/support/testing.h"

#include <QString>

// A small file system of its own (a tmpfs) mounted on a temporary folder for
// the life of the object, which the test fills to see how the programs fare
// on a full disk. Mounting needs root; where it is refused, mounted() is
// false and skipReason() says why, for GTEST_SKIP().

class SmallDisk {
public:
    /// Mounts a tmpfs of that size (rounded up to whole pages).
    explicit SmallDisk(qint64 bytes = 2 * 1024 * 1024);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString skipReason() const { return skipReason_; }

    /// Path of a name on the small disk (its root when empty).
    QString path(const QString& name = QString()) const;
    /// The bytes of a file on the small disk (or of any absolute path); ""
    /// when missing.
    QByteArray read(const QString& nameOrPath) const;

    /// Takes the free space with a filler file, leaving about `leave` bytes
    /// free (whole pages). Filling again first gives the old filler back.
    void fill(qint64 leave = 0);
    /// Gives the filler's space back.
    void unfill();
    /// Makes the whole file system read-only, or writable again.
    bool setReadOnly(bool readOnly);

private:
    TempDir dir_;
    QString root_;
    QString options_;
    bool mounted_ = false;
    QString skipReason_;
};

/// Skips the test, saying why, when the small disk could not be mounted.
#define MRV_NEED_SMALL_DISK(disk) \
    if (!(disk).mounted()) GTEST_SKIP() << (disk).skipReason().toStdString()
