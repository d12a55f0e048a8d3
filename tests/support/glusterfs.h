#pragma once

#include <QString>
#include <QTemporaryDir>

// A GlusterFS volume of one brick, served by a private glusterd on
// 127.0.0.1 and mounted twice through FUSE, for the netfs tests: each mount
// stands for one computer that shares the base folder. Needs root, /dev/fuse
// and Debian's glusterfs-server; the management port 24007 must be free.

class GlusterVolume {
public:
    /// Starts glusterd with a working folder of its own, makes and starts a
    /// volume whose brick is a temporary folder (its host a name that is added
    /// to /etc/hosts for 127.0.0.1: the gluster command refuses a loopback
    /// address as a brick's host) and mounts it on two temporary folders.
    /// ok() is false, with error() saying why, when any step fails; what was
    /// started is then stopped again.
    GlusterVolume();
    /// Unmounts both mounts, stops and deletes the volume, stops glusterd,
    /// takes the host name out of /etc/hosts and removes the folders.
    ~GlusterVolume();
    GlusterVolume(const GlusterVolume&) = delete;
    GlusterVolume& operator=(const GlusterVolume&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    /// The folder where mount k (0 or 1) shows the volume.
    QString mount(int k) const;

private:
    void tearDown();

    QTemporaryDir dir_;
    QString host_;
    QString volume_;
    QString hostsLine_;
    qint64 glusterdPid_ = 0;
    bool created_ = false;
    bool mounted_[2] = {false, false};
    QString error_;
};
