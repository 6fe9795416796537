#include "backup/userdata.h"

#include "app/jsonutil.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

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
        || !parsed.value(QStringLiteral("layout")).isObject() || !parsed.value(QStringLiteral("settings")).isObject())
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

namespace {

const QString kImportRecord = QStringLiteral("import-state.json");
const QString kStagedSuffix = QStringLiteral(".import-new");
const QString kOldSuffix = QStringLiteral(".import-old");

// The files an import may replace: a record naming anything else is not
// one of ours and is never acted on.
bool isImportTarget(const QString& name)
{
    return name == QStringLiteral("layout.json") || name == QStringLiteral("settings.json")
        || name == QStringLiteral("apps_registry.json");
}

struct SwitchFile {
    QString name;
    bool existed = false;
};

enum class SwitchPhase { Forward, Back };

bool writeRecord(const QString& root, SwitchPhase phase, const QList<SwitchFile>& files)
{
    QJsonArray list;
    for (const SwitchFile& f : files)
        list.append(QJsonObject{ { QStringLiteral("name"), f.name }, { QStringLiteral("existed"), f.existed } });
    const QJsonObject o{ { QStringLiteral("phase"), phase == SwitchPhase::Forward ? QStringLiteral("forward")
                                                                                  : QStringLiteral("back") },
                         { QStringLiteral("files"), list } };
    return saveAll(root + QLatin1Char('/') + kImportRecord, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool readRecord(const QString& root, SwitchPhase& phase, QList<SwitchFile>& files)
{
    QFile f(root + QLatin1Char('/') + kImportRecord);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    const QJsonObject o = doc.object();
    const QString p = o.value(QStringLiteral("phase")).toString();
    if (err.error != QJsonParseError::NoError || (p != QStringLiteral("forward") && p != QStringLiteral("back")))
        return false;
    phase = p == QStringLiteral("forward") ? SwitchPhase::Forward : SwitchPhase::Back;
    files.clear();
    for (const QJsonValue& v : o.value(QStringLiteral("files")).toArray()) {
        SwitchFile sf;
        sf.name = v.toObject().value(QStringLiteral("name")).toString();
        sf.existed = v.toObject().value(QStringLiteral("existed")).toBool();
        if (!isImportTarget(sf.name))
            return false;
        files << sf;
    }
    return true;
}

bool removeIfThere(const QString& path)
{
    return !QFileInfo::exists(path) || QFile::remove(path);
}

// Overwrites `to` in one step (QFile::rename refuses an existing target).
bool renameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Each step can be repeated after a crash: a staged file that is gone was
// moved into place already, and so was a kept original.
bool switchForward(const QString& root, const QList<SwitchFile>& files)
{
    bool ok = true;
    for (const SwitchFile& f : files) {
        const QString target = root + QLatin1Char('/') + f.name;
        if (QFileInfo::exists(target + kStagedSuffix) && !renameOver(target + kStagedSuffix, target)) {
            qWarning() << "importUserData: could not move the imported file into place:" << target;
            return false;
        }
    }
    for (const SwitchFile& f : files)
        ok = removeIfThere(root + QLatin1Char('/') + f.name + kOldSuffix) && ok;
    return ok;
}

bool switchBack(const QString& root, const QList<SwitchFile>& files)
{
    bool ok = true;
    for (const SwitchFile& f : files) {
        const QString target = root + QLatin1Char('/') + f.name;
        bool restored = true;
        if (f.existed) {
            if (QFileInfo::exists(target + kOldSuffix))
                restored = renameOver(target + kOldSuffix, target);
        } else {
            restored = removeIfThere(target);
        }
        if (!restored) {
            qWarning() << (f.existed ? "importUserData: rollback restore failed:" : "importUserData: rollback remove failed:")
                       << target;
            ok = false;
        }
        removeIfThere(target + kStagedSuffix);
    }
    return ok;
}

void removeStaged(const QString& root, const QList<SwitchFile>& files)
{
    for (const SwitchFile& f : files) {
        removeIfThere(root + QLatin1Char('/') + f.name + kStagedSuffix);
        removeIfThere(root + QLatin1Char('/') + f.name + kOldSuffix);
    }
}

} // namespace

ImportResult replaceUserDataFiles(QList<ImportEntry>& entries, const QString& dataRoot, QString* failedPath)
{
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    for (const ImportEntry& e : entries) {
        if (!isSafeTarget(e.path, root) || !isImportTarget(QFileInfo(e.path).fileName())) {
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
    // An earlier import that died in its switch is finished first.
    finishInterruptedImport(root);

    // Everything is written beside its target first: the new content and a
    // copy of the original. Until the record exists, the data root is
    // untouched and a crash leaves only these copies, which the next start
    // removes; from the record on, the next start completes the switch.
    QList<SwitchFile> files;
    for (const ImportEntry& e : entries)
        files << SwitchFile{ QFileInfo(e.path).fileName(), e.existed };
    for (const ImportEntry& e : entries) {
        const QString target = root + QLatin1Char('/') + QFileInfo(e.path).fileName();
        if (!saveAll(target + kStagedSuffix, e.newContent) || (e.existed && !saveAll(target + kOldSuffix, e.previous))) {
            removeStaged(root, files);
            qWarning() << "importUserData: write failed at" << e.path << "-> rolled back; allRestored =" << true;
            if (failedPath)
                *failedPath = e.path;
            return ImportResult::RolledBack;
        }
    }
    if (!writeRecord(root, SwitchPhase::Forward, files)) {
        removeStaged(root, files);
        qWarning() << "importUserData: write failed at" << root + QLatin1Char('/') + kImportRecord
                   << "-> rolled back; allRestored =" << true;
        if (failedPath)
            *failedPath = entries.first().path;
        return ImportResult::RolledBack;
    }
    if (switchForward(root, files)) {
        QFile::remove(root + QLatin1Char('/') + kImportRecord);
        return ImportResult::Done;
    }
    // The way back is recorded before it is taken, so that a crash on it
    // does not finish the import instead.
    const bool recorded = writeRecord(root, SwitchPhase::Back, files);
    const bool allRestored = switchBack(root, files);
    if (recorded && allRestored) {
        removeStaged(root, files);
        QFile::remove(root + QLatin1Char('/') + kImportRecord);
    }
    qWarning() << "importUserData: write failed at" << root << "-> rolled back; allRestored =" << (recorded && allRestored);
    if (failedPath)
        *failedPath = entries.first().path;
    return recorded && allRestored ? ImportResult::RolledBack : ImportResult::RollbackIncomplete;
}

ImportRecovery finishInterruptedImport(const QString& dataRoot)
{
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    if (root.isEmpty())
        return ImportRecovery::NothingToDo;
    const QString record = root + QLatin1Char('/') + kImportRecord;
    if (!QFileInfo::exists(record)) {
        // Copies of an import that died before its switch: nothing changed.
        bool found = false;
        for (const QString& name : { QStringLiteral("layout.json"), QStringLiteral("settings.json"),
                                     QStringLiteral("apps_registry.json") }) {
            for (const QString& suffix : { kStagedSuffix, kOldSuffix }) {
                const QString path = root + QLatin1Char('/') + name + suffix;
                if (QFileInfo(path).isFile() && !QFileInfo(path).isSymLink()) {
                    found = true;
                    QFile::remove(path);
                }
            }
        }
        if (found)
            qInfo() << "importUserData: copies of an unfinished import removed:" << root;
        return found ? ImportRecovery::Dropped : ImportRecovery::NothingToDo;
    }
    SwitchPhase phase = SwitchPhase::Forward;
    QList<SwitchFile> files;
    if (!readRecord(root, phase, files)) {
        qWarning() << "importUserData: unreadable import record left in place:" << record;
        return ImportRecovery::Failed;
    }
    const bool ok = phase == SwitchPhase::Forward ? switchForward(root, files) : switchBack(root, files);
    if (!ok) {
        qWarning() << "importUserData: unfinished import could not be completed:" << root;
        return ImportRecovery::Failed;
    }
    removeStaged(root, files);
    QFile::remove(record);
    if (phase == SwitchPhase::Forward) {
        qWarning() << "importUserData: interrupted import completed:" << root;
        return ImportRecovery::Completed;
    }
    qWarning() << "importUserData: interrupted import rolled back:" << root;
    return ImportRecovery::RolledBack;
}
