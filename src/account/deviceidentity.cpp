#include "account/deviceidentity.h"

#include "app/lang.h"
#include "app/paths.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QUuid>

namespace {

const QString kBindMarker = QStringLiteral("TNBIND1|");
const QByteArray kBindPrefix = QByteArrayLiteral("VozezaDareNodeBindV2|");

QByteArray readWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

bool isValidDeviceId(const QString& raw)
{
    const QString id = raw.trimmed();
    if (id.size() < 8 || id.size() > 64)
        return false;
    for (const QChar c : id) {
        const ushort u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex && u != '-')
            return false;
    }
    return true;
}

QString deviceBindHash(const QString& id, const QString& machine)
{
    QByteArray data = kBindPrefix;
    data += id.toUtf8();
    data += '|';
    data += machine.toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

QString machineName()
{
    QString name = QSysInfo::machineHostName().trimmed();
    if (name.isEmpty())
        name = qEnvironmentVariable("COMPUTERNAME").trimmed();
    return name;
}

QString deviceDisplayName()
{
    const QString name = machineName();
    if (name.isEmpty())
        return translate(u"未命名电脑");
    return name.left(64);
}

void writeBindFile(const QString& path, const QString& id, const QString& machine)
{
    const QByteArray bytes = (kBindMarker + machine + QLatin1Char('\n') + deviceBindHash(id, machine)
                              + QLatin1Char('\n'))
                                 .toUtf8();
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        qCritical() << "writeBindFile: short write";
        return;
    }
    if (!f.commit())
        qCritical() << "writeBindFile: commit failed:" << f.errorString();
}

QString registerNewDevice(const QString& dataRoot, const QString& bindPath)
{
    const QString id = QUuid::createUuid().toString(QUuid::Id128);
    const QByteArray bytes = id.toLatin1();
    QSaveFile f(dataRoot + QStringLiteral("/device.id"));
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly)) {
        qCritical() << "registerNewDevice: cannot open device.id for write:" << f.errorString();
    } else if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        qCritical() << "registerNewDevice: device.id short write";
    } else if (!f.commit()) {
        qCritical() << "registerNewDevice: device.id commit failed:" << f.errorString();
    }
    writeBindFile(bindPath, id, machineName());
    return id;
}

QString computeDeviceIdIn(const QString& dataRoot)
{
    if (!QDir().mkpath(dataRoot))
        qCritical() << "computeDeviceId: cannot create data dir" << dataRoot;
    const QString bindPath = dataRoot + QStringLiteral("/device.bind");
    const QString stored = QString::fromLatin1(readWhole(dataRoot + QStringLiteral("/device.id")).trimmed());
    if (!isValidDeviceId(stored))
        return registerNewDevice(dataRoot, bindPath);

    const QStringList lines = QString::fromUtf8(readWhole(bindPath)).split(QLatin1Char('\n'));
    QString boundName;
    QString storedHash;
    if (lines.size() >= 2 && lines.at(0).startsWith(kBindMarker)) {
        boundName = lines.at(0).mid(kBindMarker.size());
        storedHash = lines.at(1).trimmed();
    }
    if (storedHash.isEmpty()) {
        writeBindFile(bindPath, stored, machineName());
        return stored;
    }
    if (storedHash == deviceBindHash(stored, boundName))
        return stored;
    qWarning() << "device.id binding mismatch, regenerate device identity";
    return registerNewDevice(dataRoot, bindPath);
}

QString computeDeviceId()
{
    return computeDeviceIdIn(cachedAppDataDir());
}

QString deviceId()
{
    static const QString id = computeDeviceId();
    return id;
}
