#include "backup/userdata.h"

#include "app/jsonutil.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

QJsonObject readObject(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    QJsonObject o;
    parseJsonObject(f.readAll(), o);
    return o;
}

// Unbuffered: a buffered save file flushes only in commit(), and this Qt
// commits even when that flush ran into a full disk, putting a truncated
// file in place. Written directly, the short write shows here.
bool saveAll(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool isIdentifier(const QString& id)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Za-z._+-]+$"));
    return re.match(id).hasMatch() && id != QStringLiteral(".") && id != QStringLiteral("..");
}

bool registryIsSafe(const QJsonObject& registry)
{
    const QJsonValue installed = registry.value(QStringLiteral("installed"));
    if (installed.isUndefined())
        return true;
    if (!installed.isArray())
        return false;
    for (const QJsonValue& entry : installed.toArray()) {
        if (!entry.isObject() || !isIdentifier(entry.toObject().value(QStringLiteral("id")).toString()))
            return false;
    }
    return true;
}

// The target must be a plain file (or missing) whose folder is the data
// root itself: a link there would carry the write, or the roll-back, to
// wherever it points.
bool isSafeTarget(const QString& path, const QString& canonicalRoot)
{
    const QFileInfo fi(path);
    if (fi.isSymLink())
        return false;
    if (fi.exists() && !fi.isFile())
        return false;
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return !folder.isEmpty() && !canonicalRoot.isEmpty() && folder == canonicalRoot;
}

} // namespace

QJsonObject buildUserDataBundle(const UserDataFiles& files, const QString& version, const QDateTime& now)
{
    QJsonObject bundle;
    bundle.insert(QStringLiteral("app"), QStringLiteral("TarnavelPanel"));
    bundle.insert(QStringLiteral("version"), version);
    bundle.insert(QStringLiteral("exportedAt"), now.toString(Qt::ISODate));
    bundle.insert(QStringLiteral("layout"), readObject(files.layout));
    bundle.insert(QStringLiteral("settings"), readObject(files.settings));
    bundle.insert(QStringLiteral("registry"), readObject(files.registry));
    return bundle;
}

BundleWrite writeUserDataBundle(const QString& path, const QJsonObject& bundle)
{
    const QByteArray bytes = QJsonDocument(bundle).toJson(QJsonDocument::Indented);
    // Unbuffered for the reason given at saveAll.
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return BundleWrite::OpenFailed;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return BundleWrite::Blocked;
    }
    return f.commit() ? BundleWrite::Ok : BundleWrite::Blocked;
}

BundleRead readUserDataBundle(const QString& path, QJsonObject& bundle)
{
    bundle = QJsonObject();
    // Opening a FIFO would wait for a writer; only plain files are bundles.
    if (!QFileInfo(path).isFile())
        return BundleRead::Unreadable;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return BundleRead::Unreadable;
    if (f.size() > kMaxBundleBytes)
        return BundleRead::TooLarge;
    // A file that grows while it is read (a FIFO, a device) is cut at the
    // limit rather than read without end.
    const QByteArray bytes = f.read(kMaxBundleBytes + 1);
    if (bytes.size() > kMaxBundleBytes)
        return BundleRead::TooLarge;
    QJsonObject parsed;
    parseJsonObject(bytes, parsed);
    if (parsed.value(QStringLiteral("app")).toString() != QStringLiteral("TarnavelPanel")
        || !parsed.value(QStringLiteral("layout")).isObject())
        return BundleRead::Invalid;
    if (!registryIsSafe(parsed.value(QStringLiteral("registry")).toObject()))
        return BundleRead::Invalid;
    bundle = parsed;
    return BundleRead::Ok;
}

QList<ImportEntry> importEntriesFor(const QJsonObject& bundle, const UserDataFiles& files)
{
    const auto entry = [](const QString& path, const QJsonObject& o) {
        ImportEntry e;
        e.path = path;
        e.newContent = QJsonDocument(o).toJson(QJsonDocument::Indented);
        return e;
    };
    QList<ImportEntry> entries;
    entries << entry(files.layout, bundle.value(QStringLiteral("layout")).toObject());
    entries << entry(files.settings, bundle.value(QStringLiteral("settings")).toObject());
    const QJsonObject registry = bundle.value(QStringLiteral("registry")).toObject();
    if (!registry.isEmpty())
        entries << entry(files.registry, registry);
    return entries;
}

ImportResult replaceUserDataFiles(QList<ImportEntry>& entries, const QString& dataRoot, QString* failedPath)
{
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    for (const ImportEntry& e : entries) {
        if (!isSafeTarget(e.path, root)) {
            qWarning() << "importUserData: unsafe target refused:" << e.path;
            if (failedPath)
                *failedPath = e.path;
            return ImportResult::UnsafeTarget;
        }
    }
    for (ImportEntry& e : entries) {
        e.existed = QFileInfo::exists(e.path);
        if (!e.existed)
            continue;
        QFile f(e.path);
        if (!f.open(QIODevice::ReadOnly)) {
            qWarning() << "importUserData: original not readable, abort:" << e.path << f.errorString();
            if (failedPath)
                *failedPath = e.path;
            return ImportResult::OriginalUnreadable;
        }
        const qint64 size = f.size();
        e.previous = f.readAll();
        if (e.previous.size() < size) {
            qWarning() << "importUserData: short read of original, abort:" << e.path;
            if (failedPath)
                *failedPath = e.path;
            return ImportResult::OriginalShortRead;
        }
        e.readOk = true;
    }

    int written = 0;
    for (; written < entries.size(); ++written) {
        if (!saveAll(entries[written].path, entries[written].newContent))
            break;
    }
    if (written == entries.size())
        return ImportResult::Done;

    bool allRestored = true;
    for (int i = written - 1; i >= 0; --i) {
        const ImportEntry& e = entries[i];
        if (e.existed) {
            if (!saveAll(e.path, e.previous)) {
                qWarning() << "importUserData: rollback restore failed:" << e.path;
                allRestored = false;
            }
        } else if (!QFile::remove(e.path)) {
            qWarning() << "importUserData: rollback remove failed:" << e.path;
            allRestored = false;
        }
    }
    const QString failed = entries[written].path;
    qWarning() << "importUserData: write failed at" << failed << "-> rolled back; allRestored =" << allRestored;
    if (failedPath)
        *failedPath = failed;
    return allRestored ? ImportResult::RolledBack : ImportResult::RollbackIncomplete;
}
