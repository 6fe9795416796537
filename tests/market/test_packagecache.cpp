// The package cache: safe paths, store and lookup, and the sweep by age,
// count per app and total size.
#include "market/packagecache.h"

#include "testsupport.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QtTest>

namespace {

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QJsonObject entry(const QString& file, const QJsonValue& savedAt)
{
    return QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("savedAt"), savedAt}};
}

// A cached file of `size` bytes (sparse, so a gigabyte costs nothing).
void putFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

} // namespace

class TestPackageCache : public QObject {
    Q_OBJECT
    QString cache;

private Q_SLOTS:
    void init()
    {
        cache = packageCacheDir();
        QDir(appsRootDir()).removeRecursively();
        QDir().mkpath(cache);
    }

    void resolving_data()
    {
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("ok");
        QTest::newRow("plain") << "notes" << "1.2.0" << "1.2.0.zip" << true;
        QTest::newRow("file is another version") << "notes" << "1.2.0" << "1.1.0.zip" << false;
        QTest::newRow("file climbs out") << "notes" << "1.2.0" << "../1.2.0.zip" << false;
        QTest::newRow("version with ..") << "notes" << "1..2" << "1..2.zip" << false;
        QTest::newRow("app id with a dot") << "no.tes" << "1.0" << "1.0.zip" << false;
        QTest::newRow("app id with a slash") << "a/b" << "1.0" << "1.0.zip" << false;
        QTest::newRow("upper-case suffix") << "notes" << "1.0" << "1.0.ZIP" << false;
    }
    void resolving()
    {
        QFETCH(QString, app);
        QFETCH(QString, version);
        QFETCH(QString, file);
        QFETCH(bool, ok);
        const QString path = resolveCachedPackagePath(cache, app, version, file);
        QCOMPARE(!path.isEmpty(), ok);
        if (ok)
            QCOMPARE(path, QDir::cleanPath(cache + "/" + app + "/" + file));
    }

    void linkedAppFolderIsNotResolved()
    {
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), cache + QStringLiteral("/notes")));
        QVERIFY(resolveCachedPackagePath(cache, "notes", "1.0", "1.0.zip").isEmpty());
    }

    void storeThenLookup()
    {
        const QString source = appsRootDir() + QStringLiteral("/notes.package.zip");
        QVERIFY(testsupport::writeFile(source, "PK\x03\x04zip"));
        storePackageInCache("notes", "1.2.0", source);
        QVERIFY(!QFileInfo::exists(source));
        const QString hit = lookupCachedPackage("notes", "1.2.0");
        QCOMPARE(hit, cache + QStringLiteral("/notes/1.2.0.zip"));
        QCOMPARE(testsupport::readFile(hit), QByteArray("PK\x03\x04zip"));
        // A package stored under the manifest's version is not found under
        // the catalogue's.
        QVERIFY(lookupCachedPackage("notes", "1.1.0").isEmpty());
        const QJsonObject stored = readCacheIndex(cache).value("notes").toObject().value("1.2.0").toObject();
        QCOMPARE(stored.value("file").toString(), QStringLiteral("1.2.0.zip"));
        QVERIFY(qAbs(stored.value("savedAt").toInteger() - now()) < 5);
    }

    void lookupMisses_data()
    {
        QTest::addColumn<QJsonValue>("savedAt");
        QTest::addColumn<bool>("hit");
        QTest::newRow("fresh") << QJsonValue(now() - 100) << true;
        QTest::newRow("a day and a second old") << QJsonValue(now() - 86401) << false;
        QTest::newRow("zero") << QJsonValue(0) << false;
        QTest::newRow("text") << QJsonValue(QStringLiteral("yesterday")) << false;
    }
    void lookupMisses()
    {
        QFETCH(QJsonValue, savedAt);
        QFETCH(bool, hit);
        putFile(cache + "/notes/1.0.zip", 10);
        writeCacheIndex(cache, QJsonObject{{"notes", QJsonObject{{"1.0", entry("1.0.zip", savedAt)}}}});
        QCOMPARE(!lookupCachedPackage("notes", "1.0").isEmpty(), hit);
    }

    void sweepLimitsAndLeftovers()
    {
        const qint64 t = now();
        putFile(cache + "/notes/1.0.zip", 10);
        putFile(cache + "/notes/1.1.zip", 10);
        putFile(cache + "/notes/1.2.zip", 10);
        putFile(cache + "/old/1.0.zip", 10);
        putFile(cache + "/evil/1.0.zip", 10);
        putFile(cache + "/un.safe/1.0.zip", 10);
        putFile(cache + "/undated/2.0.zip", 10);
        putFile(cache + "/stray/x.zip", 10);
        putFile(cache + "/loose.zip", 10);
        putFile(cache + "/notes/unindexed.bin", 10);
        QTemporaryDir outside;
        putFile(outside.path() + "/keep.zip", 10);
        QVERIFY(QFile::link(outside.path(), cache + "/linked"));
        writeCacheIndex(cache, QJsonObject{
            {"notes", QJsonObject{{"1.0", entry("1.0.zip", t - 300)},
                                  {"1.1", entry("1.1.zip", t - 200)},
                                  {"1.2", entry("1.2.zip", t - 100)}}},
            {"old", QJsonObject{{"1.0", entry("1.0.zip", t - 90000)}}},
            {"evil", QJsonObject{{"1.0", entry("../notes/1.2.zip", t)}}},
            {"un.safe", QJsonObject{{"1.0", entry("1.0.zip", t)}}},
            {"undated", QJsonObject{{"2.0", entry("2.0.zip", "soon")}}},
        });
        sweepPackageCache();

        QVERIFY(!QFileInfo::exists(cache + "/notes/1.0.zip"));     // third of an app
        QVERIFY(QFileInfo::exists(cache + "/notes/1.1.zip"));
        QVERIFY(QFileInfo::exists(cache + "/notes/1.2.zip"));
        QVERIFY(QFileInfo::exists(cache + "/notes/unindexed.bin"));
        QVERIFY(!QFileInfo::exists(cache + "/old"));                 // stale, folder unreferenced
        QVERIFY(!QFileInfo::exists(cache + "/evil"));                // entry dropped, folder unreferenced
        QVERIFY(!QFileInfo::exists(cache + "/un.safe"));
        QVERIFY(!QFileInfo::exists(cache + "/stray"));
        QVERIFY(QFileInfo::exists(cache + "/loose.zip"));
        QVERIFY(QFileInfo(cache + "/linked").isSymLink());
        QVERIFY(QFileInfo::exists(outside.path() + "/keep.zip"));

        const QJsonObject index = readCacheIndex(cache);
        QCOMPARE(index.keys(), QStringList({"notes", "undated"}));
        QCOMPARE(index.value("notes").toObject().keys(), QStringList({"1.1", "1.2"}));
        // An entry without a numeric time is kept as fresh and written back
        // with one, after which the lookup finds it.
        QVERIFY(qAbs(index.value("undated").toObject().value("2.0").toObject().value("savedAt").toInteger() - t) < 5);
        QVERIFY(!lookupCachedPackage("undated", "2.0").isEmpty());
    }

    void sweepTotalSize_data()
    {
        QTest::addColumn<qint64>("extra");
        QTest::addColumn<bool>("oldestKept");
        QTest::newRow("exactly 1 GiB") << qint64(0) << true;
        QTest::newRow("one byte more") << qint64(1) << false;
    }
    void sweepTotalSize()
    {
        QFETCH(qint64, extra);
        QFETCH(bool, oldestKept);
        const qint64 t = now();
        const qint64 half = kCacheMaxBytes / 2;
        putFile(cache + "/a/1.0.zip", half);
        putFile(cache + "/b/1.0.zip", half + extra);
        writeCacheIndex(cache, QJsonObject{{"a", QJsonObject{{"1.0", entry("1.0.zip", t - 50)}}},
                                           {"b", QJsonObject{{"1.0", entry("1.0.zip", t - 10)}}}});
        sweepPackageCache();
        QCOMPARE(QFileInfo::exists(cache + "/a/1.0.zip"), oldestKept);
        QVERIFY(QFileInfo::exists(cache + "/b/1.0.zip"));
    }

    // A damaged index leaves every cached package unreferenced.
    void damagedIndexEmptiesTheCache()
    {
        putFile(cache + "/notes/1.0.zip", 10);
        QVERIFY(testsupport::writeFile(cache + "/index.json", "{not json"));
        QVERIFY(readCacheIndex(cache).isEmpty());
        sweepPackageCache();
        QVERIFY(!QFileInfo::exists(cache + "/notes"));
        QCOMPARE(testsupport::readFile(cache + "/index.json"), QByteArray("{}"));
    }

    void sha256()
    {
        const QString path = cache + "/x.bin";
        QVERIFY(testsupport::writeFile(path, "abc"));
        QCOMPARE(sha256OfFile(path).toHex(),
                 QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QVERIFY(sha256OfFile(cache + "/none").isEmpty());
    }
};

QTEST_MAIN(TestPackageCache)
#include "test_packagecache.moc"
