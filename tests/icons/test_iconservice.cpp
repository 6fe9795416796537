#include "icons/iconcache.h"
#include "icons/iconextract.h"
#include "icons/iconservice.h"
#include "testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QtTest>

namespace {

QImage solid(int w, int h, QColor c)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(c);
    return image;
}

QByteArray png(const QImage& image)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "PNG");
    return out;
}

// A path with no live icon: only the disk cache can answer for it.
QString missingPath(const char* name)
{
    return testsupport::testRoot() + QStringLiteral("/gone/") + QLatin1String(name);
}

struct Received {
    int calls = 0;
    QString path;
    QImage image;
};

} // namespace

class TestIconService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { clearIconPixmapCache(); }
    void emptyPath();
    void cachedPathIsDeliveredLater_data();
    void cachedPathIsDeliveredLater();
    void missingFile();
    void unknownShellPlace();
    void evictsOldestInsertion();
    void equalPicturesShareOnePixmap_data();
    void equalPicturesShareOnePixmap();
    void sharedPictureStaysWhileUsed();
    void clearKeepsPointer();
    void destroyedContextDropsResult();
    void cacheFileNames();
    void cacheWriteKeepsExistingEntry();
    void cacheWriteReplacesLinkNotTarget();
    void cacheReadLimits_data();
    void cacheReadLimits();
    void placeholder();
};

void TestIconService::emptyPath()
{
    QVERIFY(iconPixmapForPath(QString()).isNull());
    QVERIFY(iconPixmapCache()->isEmpty());
    QObject context;
    int calls = 0;
    requestIconAsync(QString(), &context, [&calls](const QString&, const QImage&) { ++calls; });
    requestIconAsync(QStringLiteral("/x"), nullptr, [&calls](const QString&, const QImage&) { ++calls; });
    requestIconAsync(QStringLiteral("/x"), &context, IconResultCallback());
    // A later request on the same queue proves the earlier ones had their turn.
    Received probe;
    cacheIconPixmap(QStringLiteral("/probe"), QPixmap());
    requestIconAsync(QStringLiteral("/probe"), &context, [&probe](const QString&, const QImage&) { ++probe.calls; });
    QTRY_COMPARE(probe.calls, 1);
    QCOMPARE(calls, 0);
}

void TestIconService::cachedPathIsDeliveredLater_data()
{
    QTest::addColumn<bool>("nullEntry");
    QTest::newRow("picture") << false;
    QTest::newRow("cached failure") << true;
}

void TestIconService::cachedPathIsDeliveredLater()
{
    QFETCH(bool, nullEntry);
    const QString path = QStringLiteral("/cached/item");
    const QImage picture = solid(20, 10, Qt::red);
    cacheIconImage(path, nullEntry ? QImage() : picture);
    QVERIFY(iconPixmapCache()->contains(path));
    QObject context;
    Received got;
    requestIconAsync(path, &context, [&got](const QString& p, const QImage& i) {
        ++got.calls;
        got.path = p;
        got.image = i;
    });
    QCOMPARE(got.calls, 0); // never inside the call, also on a hit
    QTRY_COMPARE(got.calls, 1);
    QCOMPARE(got.path, path);
    QCOMPARE(got.image.isNull(), nullEntry);
    if (!nullEntry)
        QCOMPARE(got.image.convertToFormat(QImage::Format_ARGB32), picture);
}

void TestIconService::missingFile()
{
    const QString path = missingPath("nothing.txt");
    QObject context;
    Received got;
    requestIconAsync(path, &context, [&got](const QString& p, const QImage& i) {
        ++got.calls;
        got.path = p;
        got.image = i;
    });
    QTRY_COMPARE(got.calls, 1);
    QCOMPARE(got.image.size(), QSize(128, 128));
    QCOMPARE(got.image, placeholderIconImage());
    QVERIFY(!iconPixmapCache()->contains(path)); // the caller stores results
    // Synchronously: the file icon provider's picture or the placeholder.
    QVERIFY(!iconPixmapForPath(path).isNull());
    QVERIFY(iconPixmapCache()->contains(path));
}

void TestIconService::unknownShellPlace()
{
    const QString place = QStringLiteral("::{00000000-1111-2222-3333-444444444444}");
    QObject context;
    Received got;
    got.image = solid(1, 1, Qt::red);
    requestIconAsync(place, &context, [&got](const QString&, const QImage& i) {
        ++got.calls;
        got.image = i;
    });
    QTRY_COMPARE(got.calls, 1);
    QVERIFY(got.image.isNull());
    cacheIconImage(place, got.image);
    QVERIFY(!iconPixmapCache()->contains(place)); // asked again next time
    QVERIFY(iconPixmapForPath(place).isNull());
    QVERIFY(iconPixmapCache()->contains(place));
}

void TestIconService::evictsOldestInsertion()
{
    auto key = [](int i) { return QStringLiteral("/item/%1").arg(i); };
    for (int i = 0; i < 257; ++i)
        cacheIconPixmap(key(i), QPixmap());
    const QMap<QString, QPixmap>* map = iconPixmapCache();
    QCOMPARE(map->size(), 256);
    QVERIFY(!map->contains(key(0)));
    QVERIFY(map->contains(key(1)) && map->contains(key(256)));
    // Replacing an entry keeps its place: the next new key evicts it.
    QPixmap red(4, 4);
    red.fill(Qt::red);
    cacheIconPixmap(key(1), red);
    QCOMPARE(map->value(key(1)).size(), QSize(4, 4));
    cacheIconPixmap(key(257), QPixmap());
    QVERIFY(!map->contains(key(1)));
    QVERIFY(map->contains(key(2)));
    QCOMPARE(map->size(), 256);
}

void TestIconService::equalPicturesShareOnePixmap_data()
{
    QTest::addColumn<QImage>("second");
    QTest::addColumn<bool>("shared");
    QImage sharper = solid(8, 8, Qt::red);
    sharper.setDevicePixelRatio(2);
    QTest::newRow("same pixels") << solid(8, 8, Qt::red) << true;
    QTest::newRow("other colour") << solid(8, 8, Qt::green) << false;
    QTest::newRow("other size") << solid(8, 9, Qt::red) << false;
    QTest::newRow("other pixel ratio") << sharper << false;
}

void TestIconService::equalPicturesShareOnePixmap()
{
    QFETCH(QImage, second);
    QFETCH(bool, shared);
    const QMap<QString, QPixmap>* map = iconPixmapCache();
    cacheIconImage(QStringLiteral("/a"), solid(8, 8, Qt::red));
    cacheIconImage(QStringLiteral("/b"), second);
    QCOMPARE(map->value(QStringLiteral("/a")).cacheKey() == map->value(QStringLiteral("/b")).cacheKey(), shared);
    QCOMPARE(map->value(QStringLiteral("/b")).toImage().convertToFormat(QImage::Format_ARGB32), second);
    QCOMPARE(map->value(QStringLiteral("/b")).devicePixelRatio(), second.devicePixelRatio());
}

// The shared pixmap is offered to new entries as long as any entry holds it,
// whichever of them leaves first.
void TestIconService::sharedPictureStaysWhileUsed()
{
    const QMap<QString, QPixmap>* map = iconPixmapCache();
    auto key = [map](const char* path) { return map->value(QLatin1String(path)).cacheKey(); };
    cacheIconImage(QStringLiteral("/a"), solid(8, 8, Qt::red));
    cacheIconImage(QStringLiteral("/b"), solid(8, 8, Qt::red));
    cacheIconImage(QStringLiteral("/a"), solid(8, 8, Qt::blue));
    QCOMPARE(map->value(QStringLiteral("/b")).toImage().pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(map->value(QStringLiteral("/a")).toImage().pixelColor(0, 0), QColor(Qt::blue));
    cacheIconImage(QStringLiteral("/c"), solid(8, 8, Qt::red));
    QCOMPARE(key("/c"), key("/b"));

    // Evicting every user forgets the picture; an equal one is stored anew.
    for (int i = 0; i < 256; ++i)
        cacheIconPixmap(QStringLiteral("/filler/%1").arg(i), QPixmap());
    QVERIFY(!map->contains(QStringLiteral("/b")) && !map->contains(QStringLiteral("/c")));
    cacheIconImage(QStringLiteral("/d"), solid(8, 8, Qt::red));
    cacheIconImage(QStringLiteral("/e"), solid(8, 8, Qt::red));
    QCOMPARE(map->value(QStringLiteral("/d")).toImage().pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(key("/e"), key("/d"));
}

void TestIconService::clearKeepsPointer()
{
    const QMap<QString, QPixmap>* map = iconPixmapCache();
    cacheIconImage(QStringLiteral("/a"), solid(2, 2, Qt::blue));
    clearIconPixmapCache();
    QCOMPARE(iconPixmapCache(), map);
    QVERIFY(map->isEmpty());
}

void TestIconService::destroyedContextDropsResult()
{
    int dropped = 0;
    auto* doomed = new QObject;
    requestIconAsync(missingPath("a.txt"), doomed, [&dropped](const QString&, const QImage&) { ++dropped; });
    delete doomed;
    // Requests queued after it finish after it has started; once all have
    // been delivered, its result has had every chance to arrive.
    QObject alive;
    int delivered = 0;
    for (const char* name : {"b.txt", "c.txt", "d.txt"})
        requestIconAsync(missingPath(name), &alive, [&delivered](const QString&, const QImage&) { ++delivered; });
    QTRY_COMPARE(delivered, 3);
    QCoreApplication::processEvents();
    QCOMPARE(dropped, 0);
}

void TestIconService::cacheFileNames()
{
    QVERIFY(iconCacheFile(QString()).isEmpty());
    const QString lower = iconCacheFile(QStringLiteral("/home/u/file.txt"));
    QVERIFY(lower.endsWith(QLatin1String(".png")));
    QVERIFY(lower.contains(QLatin1String("/cache/iconsnap/")));
    QCOMPARE(QFileInfo(lower).completeBaseName().size(), 32);
    // Case-sensitive file names are different files here; the cleaned path
    // is one file.
    QVERIFY(iconCacheFile(QStringLiteral("/home/u/FILE.txt")) != lower);
    QCOMPARE(iconCacheFile(QStringLiteral("/home//u/./x/../file.txt")), lower);
}

void TestIconService::cacheWriteKeepsExistingEntry()
{
    const QString path = missingPath("keep.txt");
    const QString file = iconCacheFile(path);
    writeIconCacheFile(path, solid(8, 8, Qt::red));
    const QByteArray first = testsupport::readFile(file);
    QVERIFY(!first.isEmpty());
    writeIconCacheFile(path, solid(8, 8, Qt::blue));
    QCOMPARE(testsupport::readFile(file), first);
    // An empty file is no entry and is replaced.
    QVERIFY(testsupport::writeFile(file, QByteArray()));
    writeIconCacheFile(path, solid(8, 8, Qt::blue));
    QCOMPARE(readIconCacheFile(path).pixel(4, 4), QColor(Qt::blue).rgba());
}

void TestIconService::cacheWriteReplacesLinkNotTarget()
{
    const QString path = missingPath("linked.txt");
    const QString file = iconCacheFile(path);
    const QString victim = testsupport::testRoot() + QStringLiteral("/victim.txt");
    QVERIFY(testsupport::writeFile(victim, "precious"));
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile::remove(file);
    QVERIFY(QFile::link(victim, file));
    writeIconCacheFile(path, solid(8, 8, Qt::green));
    QCOMPARE(testsupport::readFile(victim), QByteArray("precious"));
    QVERIFY(!QFileInfo(file).isSymLink());
    QCOMPARE(readIconCacheFile(path).pixel(4, 4), QColor(Qt::green).rgba());
    // A link is never read either.
    QVERIFY(QFile::remove(file));
    QVERIFY(QFile::link(victim, file));
    QVERIFY(readIconCacheFile(path).isNull());
    QFile::remove(file);
}

void TestIconService::cacheReadLimits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("read");
    const QByteArray small = png(solid(6, 6, Qt::red));
    const qint64 limit = 2 * 1024 * 1024;
    QTest::newRow("ordinary") << small << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("exactly 2 MiB") << small + QByteArray(limit - small.size(), '\0') << true;
    QTest::newRow("2 MiB and a byte") << small + QByteArray(limit - small.size() + 1, '\0') << false;
    QTest::newRow("4096 px wide") << png(solid(4096, 1, Qt::red)) << true;
    QTest::newRow("4097 px wide") << png(solid(4097, 1, Qt::red)) << false;
    QTest::newRow("not a picture") << QByteArray("hello") << false;
}

void TestIconService::cacheReadLimits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, read);
    const QString path = missingPath("limits.txt");
    QVERIFY(testsupport::writeFile(iconCacheFile(path), bytes));
    // The disk cache is the chain's last resort for a path nothing else knows.
    const QImage image = extractIconImage(path);
    QCOMPARE(!image.isNull(), read);
    if (read)
        QCOMPARE(image.format(), QImage::Format_ARGB32);
    QFile::remove(iconCacheFile(path));
}

void TestIconService::placeholder()
{
    const QImage p = placeholderIconImage();
    QCOMPARE(p.size(), QSize(128, 128));
    QCOMPARE(p.format(), QImage::Format_ARGB32);
    QCOMPARE(qAlpha(p.pixel(2, 2)), 0);                  // outside the card
    QCOMPARE(p.pixel(20, 100), QColor(0xE9, 0xEE, 0xF5).rgba()); // card fill
    QCOMPARE(p.pixel(60, 86), QColor(Qt::white).rgba());  // page
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestIconService test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_iconservice.moc"
