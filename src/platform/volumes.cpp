#include "platform/volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

// mountinfo writes blank, tab, newline and backslash in paths as \ooo.
QString decodeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray oct = field.mid(i + 1, 3);
            bool ok = oct.size() == 3;
            for (char d : oct)
                ok = ok && d >= '0' && d <= '7';
            if (ok) {
                out.append(char(oct.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}

QByteArray readSmallFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(4096).trimmed();
}

bool underFolder(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

QList<MountInfoEntry> parseMountInfo(const QByteArray& text)
{
    QList<MountInfoEntry> entries;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        const int dash = f.indexOf(QByteArray("-"), 6);
        if (f.size() < 7 || dash < 6 || dash + 2 >= f.size())
            continue;
        const QList<QByteArray> dev = f[2].split(':');
        bool okMajor = false, okMinor = false;
        MountInfoEntry e;
        if (dev.size() == 2) {
            e.major = dev[0].toInt(&okMajor);
            e.minor = dev[1].toInt(&okMinor);
        }
        if (!okMajor || !okMinor)
            continue;
        e.root = decodeField(f[3]);
        e.mountPoint = decodeField(f[4]);
        e.fsType = decodeField(f[dash + 1]);
        e.source = decodeField(f[dash + 2]);
        entries.append(e);
    }
    return entries;
}

SystemVolumeLister::SystemVolumeLister(const QString& mountInfoPath, const QString& sysRoot)
    : m_mountInfoPath(mountInfoPath), m_sysRoot(sysRoot)
{
}

QList<LocalVolume> SystemVolumeLister::localVolumes() const
{
    QFile f(m_mountInfoPath);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<MountInfoEntry> entries = parseMountInfo(f.readAll());

    // Per device: the mount of its whole file system when there is one,
    // else its first mount (bind mounts and subvolumes repeat a device).
    QList<QString> order;
    QHash<QString, MountInfoEntry> chosen;
    QHash<QString, bool> fixed;
    for (const MountInfoEntry& e : entries) {
        if (e.major == 0)
            continue; // proc, tmpfs, overlay and friends have no device
        if (underFolder(e.mountPoint, QStringLiteral("/boot")) || underFolder(e.mountPoint, QStringLiteral("/efi")))
            continue;
        const QString key = QString::number(e.major) + QLatin1Char(':') + QString::number(e.minor);
        if (!fixed.contains(key)) {
            // /sys/dev/block/M:m leads to the partition or the disk itself;
            // the removable flag lives on the disk.
            const QString devPath = m_sysRoot + QStringLiteral("/dev/block/") + key;
            QString diskPath = QFileInfo(devPath).canonicalFilePath();
            bool isFixed = !diskPath.isEmpty();
            if (isFixed && QFileInfo::exists(diskPath + QStringLiteral("/partition")))
                diskPath = QFileInfo(diskPath).path();
            const QString disk = QFileInfo(diskPath).fileName();
            if (disk.startsWith(QLatin1String("loop")) || disk.startsWith(QLatin1String("ram"))
                || disk.startsWith(QLatin1String("zram")))
                isFixed = false;
            if (isFixed && readSmallFile(diskPath + QStringLiteral("/removable")) == "1")
                isFixed = false;
            fixed.insert(key, isFixed);
        }
        if (!fixed.value(key) || !QFileInfo(e.mountPoint).isDir())
            continue;
        auto it = chosen.find(key);
        if (it == chosen.end()) {
            chosen.insert(key, e);
            order.append(key);
        } else if (it->root != QLatin1String("/") && e.root == QLatin1String("/")) {
            *it = e;
        }
    }

    QList<LocalVolume> volumes;
    for (const QString& key : order) {
        const MountInfoEntry& e = chosen[key];
        volumes.append(LocalVolume{e.mountPoint, e.source});
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const LocalVolume& a, const LocalVolume& b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

QStringList parseFstabMountPoints(const QByteArray& text)
{
    QStringList points;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = line.simplified();
        if (t.isEmpty() || t.startsWith('#'))
            continue;
        const QList<QByteArray> f = t.split(' ');
        if (f.size() < 2 || !f[1].startsWith('/'))
            continue;
        const QString point = QDir::cleanPath(decodeField(f[1]));
        if (point != QLatin1String("/"))
            points << point;
    }
    return points;
}

bool liesOnAbsentVolume(const QString& path, const QList<MountInfoEntry>& mounted, const QStringList& fstabMountPoints)
{
    const QString clean = QDir::cleanPath(path);
    QString deepest;
    for (const MountInfoEntry& m : mounted) {
        if (underFolder(clean, m.mountPoint) || m.mountPoint == QLatin1String("/")) {
            if (m.mountPoint.size() > deepest.size())
                deepest = m.mountPoint;
        }
    }
    for (const QString& point : fstabMountPoints) {
        if (underFolder(clean, point) && !underFolder(deepest, point))
            return true;
    }
    for (const char* root : {"/media", "/run/media", "/mnt"}) {
        const QString r = QString::fromLatin1(root);
        if (clean.startsWith(r + QLatin1Char('/')) && !deepest.startsWith(r + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool liesOnAbsentVolume(const QString& path)
{
    QFile mountinfo(QStringLiteral("/proc/self/mountinfo"));
    QFile fstab(QStringLiteral("/etc/fstab"));
    const QByteArray mounts = mountinfo.open(QIODevice::ReadOnly) ? mountinfo.readAll() : QByteArray();
    const QByteArray table = fstab.open(QIODevice::ReadOnly) ? fstab.read(1 << 20) : QByteArray();
    return liesOnAbsentVolume(path, parseMountInfo(mounts), parseFstabMountPoints(table));
}
