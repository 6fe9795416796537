#include "icons/iconcache.h"
#include "icons/iconextract.h"
#include "icons/shelldrop.h"
#include "icons/themeicons.h"
#include "themefixture.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtTest>

using namespace iconfixtures;

namespace {

QString root()
{
    return testsupport::testRoot() + QStringLiteral("/items");
}

QString write(const QString& name, const QByteArray& bytes)
{
    const QString path = root() + QLatin1Char('/') + name;
    testsupport::writeFile(path, bytes);
    return path;
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "PNG");
    return out;
}

} // namespace

class TestIconExtract : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void chain_data();
    void chain();
    void resultsReachTheDiskCache();
    void normalize_data();
    void normalize();
    void droppedPlaces_data();
    void droppedPlaces();
};

void TestIconExtract::initTestCase()
{
    QCOMPARE(iconThemeName(), QStringLiteral("QyFixture"));
}

void TestIconExtract::chain_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("centre"); // invalid: not checked

    QTest::newRow("own executable") << QCoreApplication::applicationFilePath() << QSize(192, 192) << QColor();
    QImage wide(300, 100, QImage::Format_ARGB32);
    wide.fill(QColor(10, 20, 30));
    QTest::newRow("picture with a capital suffix, scaled to fit")
        << write(QStringLiteral("Wide.PNG"), pngBytes(wide)) << QSize(192, 64) << QColor(10, 20, 30);
    QTest::newRow("corrupt picture falls through to its type")
        << write(QStringLiteral("broken.png"), "not a png") << QSize(46, 46) << QColor(0, 200, 200);

    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QDir().mkpath(music);
    QTest::newRow("folder role, largest size") << music << QSize(46, 46) << QColor(200, 0, 0);
    QDir().mkpath(root() + QStringLiteral("/plain"));
    QTest::newRow("plain folder") << root() + QStringLiteral("/plain") << QSize(62, 62) << QColor(220, 200, 0);

    QTest::newRow("recycle bin, 256 px capped")
        << QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}") << QSize(192, 192) << QColor(0, 0, 200);
    QTest::newRow("computer in lower case, scalable")
        << QStringLiteral("::{20d04fe0-3aea-1069-a2d8-08002b30309d}") << QSize(192, 192) << QColor(0, 160, 0);
    QTest::newRow("printers from the inherited theme")
        << QStringLiteral("::{2227A280-3AEA-1069-A2DE-08002B30309D}") << QSize(30, 30) << QColor(100, 50, 0);

    QTest::newRow("desktop entry naming a theme icon")
        << write(QStringLiteral("app.desktop"), "[Desktop Entry]\nType=Application\nName=A\nIcon=qyapp\n")
        << QSize(126, 126) << QColor(200, 0, 200);
    const QString iconFile = write(QStringLiteral("own-icon.png"), pngBytes(squareIcon(40, QColor(1, 2, 3))));
    QTest::newRow("desktop entry naming a file")
        << write(QStringLiteral("file.desktop"), "[Desktop Entry]\nIcon=" + iconFile.toUtf8() + "\n")
        << QSize(38, 38) << QColor(1, 2, 3);

    const QByteArray program = buildPeWithIcons({
        {1, {}, {{squareIcon(16, Qt::black), false}, {squareIcon(48, QColor(0, 90, 0)), false}, {squareIcon(32, Qt::black), true}}},
        {2, {}, {{squareIcon(64, QColor(90, 0, 90)), true}}}});
    const QString exe = write(QStringLiteral("tool.EXE"), program);
    QTest::newRow("program: first group, largest image") << exe << QSize(46, 46) << QColor(0, 90, 0);
    // Read in the pieces the reader asks for, a program's size does not
    // matter: a large, mostly sparse file still gives its icon.
    const QString large = write(QStringLiteral("large.exe"), program);
    QFile::resize(large, 600LL * 1024 * 1024);
    QTest::newRow("large program file") << large << QSize(46, 46) << QColor(0, 90, 0);
    QTest::newRow("damaged program falls through to its type")
        << write(QStringLiteral("bad.dll"), program.left(0x230)) << QSize() << QColor();

    LinkFixture byIcon;
    byIcon.localPath = QStringLiteral("C:\\gone.exe");
    byIcon.iconLocation = QDir::toNativeSeparators(exe);
    byIcon.iconIndex = 1;
    QTest::newRow("shortcut: icon location and index")
        << write(QStringLiteral("icon.lnk"), buildShellLink(byIcon)) << QSize(62, 62) << QColor(90, 0, 90);
    LinkFixture byTarget;
    byTarget.localPath = root() + QStringLiteral("/plain");
    QTest::newRow("shortcut: target folder")
        << write(QStringLiteral("folder.lnk"), buildShellLink(byTarget)) << QSize(62, 62) << QColor(220, 200, 0);

    QTest::newRow("text file by type") << write(QStringLiteral("notes.txt"), "hello\n") << QSize(46, 46)
                                       << QColor(120, 120, 120);
    QTest::newRow("missing file") << root() + QStringLiteral("/missing.txt") << QSize() << QColor();
    QTest::newRow("unknown place") << QStringLiteral("::{00000000-0000-0000-0000-000000000000}") << QSize() << QColor();
    QTest::newRow("empty path") << QString() << QSize() << QColor();
}

void TestIconExtract::chain()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(QColor, centre);
    const QImage image = extractIconImage(path);
    if (!size.isValid()) {
        // Whatever the fall-through finds, it is never a broken picture.
        if (path.endsWith(QLatin1String(".dll")))
            QVERIFY(image.isNull() || image.width() <= 192);
        else
            QVERIFY(image.isNull());
        return;
    }
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    if (centre.isValid())
        QCOMPARE(QColor(image.pixel(image.width() / 2, image.height() / 2)), centre);
}

void TestIconExtract::resultsReachTheDiskCache()
{
    const QString text = write(QStringLiteral("cached.txt"), "x");
    QVERIFY(!extractIconImage(text).isNull());
    QVERIFY(QFileInfo(iconCacheFile(text)).size() > 0);
    // Once the live source is gone, the cache answers.
    QVERIFY(QFile::remove(text));
    const QImage again = extractIconImage(text);
    QCOMPARE(again.size(), QSize(46, 46));
}

void TestIconExtract::normalize_data()
{
    QTest::addColumn<QImage>("input");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("cornerAlpha");

    QImage onWhite(20, 20, QImage::Format_ARGB32);
    onWhite.fill(Qt::white);
    for (int y = 5; y < 15; ++y)
        for (int x = 8; x < 12; ++x)
            onWhite.setPixel(x, y, qRgb(200, 0, 0));
    onWhite.setPixel(0, 19, qRgb(250, 250, 247)); // close to the other corners, not equal
    QImage onWhiteEqual = onWhite;
    onWhiteEqual.setPixel(0, 19, qRgb(255, 255, 255));
    onWhiteEqual.setPixel(1, 1, qRgb(245, 250, 255)); // near-white counts as background
    QTest::newRow("white background removed, glyph cropped") << onWhiteEqual << QSize(4, 10) << 255;
    QTest::newRow("unequal corners keep the background") << onWhite << QSize(20, 20) << 255;
    QImage allWhite(16, 16, QImage::Format_ARGB32);
    allWhite.fill(Qt::white);
    QTest::newRow("all white stays opaque") << allWhite << QSize(16, 16) << 255;
    QImage faint(10, 10, QImage::Format_ARGB32);
    faint.fill(qRgba(255, 0, 0, 8));
    QTest::newRow("nothing of alpha 9, unchanged") << faint << QSize(10, 10) << 8;
    QTest::newRow("margins trimmed") << squareIcon(12, Qt::red) << QSize(10, 10) << 255;
    QTest::newRow("null") << QImage() << QSize(0, 0) << 0;
}

void TestIconExtract::normalize()
{
    QFETCH(QImage, input);
    QFETCH(QSize, size);
    QFETCH(int, cornerAlpha);
    const QImage out = normalizeIconImage(input);
    QCOMPARE(out.size(), size);
    if (!out.isNull())
        QCOMPARE(qAlpha(out.pixel(0, 0)), cornerAlpha);
}

void TestIconExtract::droppedPlaces_data()
{
    QTest::addColumn<QByteArray>("uriList");
    QTest::addColumn<QStringList>("parsingNames");
    QTest::newRow("trash and computer")
        << QByteArray("# comment\r\ntrash:///\r\ncomputer:///\r\n")
        << QStringList{QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"),
                       QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}")};
    QTest::newRow("files are not places") << QByteArray("file:///etc/hosts\nfile:///tmp\n") << QStringList{};
    QTest::newRow("a file inside the trash is not the trash") << QByteArray("trash:///a.txt\nnetwork:///\n")
        << QStringList{QStringLiteral("::{208D2C60-3AEA-1069-A2D7-08002B30309D}")};
    QTest::newRow("unknown scheme") << QByteArray("sftp://host/\n") << QStringList{};
    QByteArray many;
    for (int i = 0; i < 4097; ++i)
        many += "trash:///\n";
    QTest::newRow("more than 4096 entries") << many << QStringList{};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

void TestIconExtract::droppedPlaces()
{
    QFETCH(QByteArray, uriList);
    QFETCH(QStringList, parsingNames);
    const auto pairs = parseShellIdListArray(uriList);
    QStringList got;
    for (const auto& [display, parsing] : pairs) {
        QVERIFY(!display.isEmpty());
        got << parsing;
    }
    QCOMPARE(got, parsingNames);
}

int main(int argc, char** argv)
{
    installFixtureIconTheme();
    QApplication app(argc, argv);
    TestIconExtract test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_iconextract.moc"
