#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One line of /proc/self/mountinfo, with the octal escapes of its paths
// (\040 for a blank and so on) decoded.
struct MountInfoEntry {
    int major = 0;
    int minor = 0;
    QString root;       // the folder of the file system mounted here ("/" for the whole)
    QString mountPoint;
    QString fsType;
    QString source;
};

// Parses the text of a mountinfo file; malformed lines are skipped.
QList<MountInfoEntry> parseMountInfo(const QByteArray& text);

// A mounted file system on a fixed disk: what a drive letter is elsewhere.
struct LocalVolume {
    QString mountPoint;
    QString device; // the source named in the mount table, e.g. "/dev/sda2"
};

// Lists the local volumes a user would call their disks.
class VolumeLister {
public:
    virtual ~VolumeLister() = default;

    // File systems mounted from non-removable block devices, one per device
    // (its whole-file-system mount when it has several), sorted by mount
    // point. Virtual file systems, loop and RAM devices, boot partitions
    // (/boot, /efi and below) and mount points that are not folders are
    // left out. Never fails: what cannot be read is left out.
    virtual QList<LocalVolume> localVolumes() const = 0;
};

// Reads the kernel's mount table and the removable flags of the disks.
class SystemVolumeLister : public VolumeLister {
public:
    explicit SystemVolumeLister(const QString& mountInfoPath = QStringLiteral("/proc/self/mountinfo"),
                                const QString& sysRoot = QStringLiteral("/sys"));
    QList<LocalVolume> localVolumes() const override;

private:
    QString m_mountInfoPath;
    QString m_sysRoot;
};

// True when `path` belongs on a volume that is not mounted right now: it lies
// under a mount point of `fstabMountPoints` that `mounted` does not hold, or
// under a removable-media folder (/media, /run/media, /mnt) while the file
// system that would hold it is the one of that folder itself. Such a path
// may come back when the disk is attached again.
bool liesOnAbsentVolume(const QString& path, const QList<MountInfoEntry>& mounted,
                        const QStringList& fstabMountPoints);

// The same against this system's mount table and /etc/fstab. Reads files:
// not for the GUI thread.
bool liesOnAbsentVolume(const QString& path);

// The mount points named in the text of an fstab file (swap and "none" left out).
QStringList parseFstabMountPoints(const QByteArray& text);
