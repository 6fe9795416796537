#include "widgets/icongrid.h"

#include "testsupport.h"

#include <QSemaphore>
#include <QThreadPool>
#include <QtTest>

#include <memory>

namespace {

QString writeImage(const QString& name, QSize size, QColor color = Qt::blue)
{
    const QString path = testsupport::testRoot() + QStringLiteral("/icons/") + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage img(size, QImage::Format_ARGB32);
    img.fill(color);
    return img.save(path, "PNG") ? path : QString();
}

// Keeps the global pool's one thread busy until release(), so that tasks
// queued meanwhile run later, in order.
struct PoolGate {
    QSemaphore open;
    int oldMax;
    PoolGate()
        : oldMax(QThreadPool::globalInstance()->maxThreadCount())
    {
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        QThreadPool::globalInstance()->start([this] { open.acquire(); });
    }
    void release() { open.release(); }
    ~PoolGate()
    {
        QThreadPool::globalInstance()->waitForDone();
        QThreadPool::globalInstance()->setMaxThreadCount(oldMax);
    }
};

struct Fixture {
    QList<PanelGroup> groups{PanelGroup{QStringLiteral("a"), {}}, PanelGroup{QStringLiteral("b"), {}}};
    int current = 0;
    std::unique_ptr<IconGrid> grid = std::make_unique<IconGrid>();

    Fixture() { grid->setModel(&groups, &current); }
    void add(int group, const QString& customIcon)
    {
        PanelItem it;
        it.path = QStringLiteral("/opt/%1").arg(groups[group].items.size());
        it.name = it.path;
        it.customIcon = customIcon;
        groups[group].items.append(it);
        grid->relayout();
    }
    // Waits until every started load has come back.
    bool settle()
    {
        QThreadPool::globalInstance()->waitForDone();
        return QTest::qWaitFor([this] { return grid->pendingCustomIconCount() == 0; }, 5000);
    }
};

} // namespace

class TestCustomIcons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void imagesAreReducedTo192_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("loaded");
        QTest::newRow("small stays") << QSize(100, 50) << QSize(100, 50);
        QTest::newRow("wide shrinks") << QSize(400, 200) << QSize(192, 96);
        QTest::newRow("tall shrinks") << QSize(100, 600) << QSize(32, 192);
        QTest::newRow("exactly 192") << QSize(192, 192) << QSize(192, 192);
    }
    void imagesAreReducedTo192()
    {
        QFETCH(QSize, size);
        const QString path = writeImage(QStringLiteral("%1x%2.png").arg(size.width()).arg(size.height()), size);
        Fixture f;
        f.add(0, path);
        f.grid->preloadCustomIcons();
        QVERIFY(f.grid->isCustomIconPending(path));
        QVERIFY(f.settle());
        QVERIFY(f.grid->hasCustomIcon(path));
        QTEST(f.grid->customIconPixmap(path).size(), "loaded");
        QCOMPARE(f.grid->customIconPixmap(path).devicePixelRatio(), 1.0);
    }

    void unreadableFileIsTriedOnceUntilRefreshed()
    {
        const QString path = testsupport::testRoot() + QStringLiteral("/icons/none.png");
        Fixture f;
        f.add(0, path);
        f.grid->preloadCustomIcons();
        QVERIFY(f.settle());
        QVERIFY(f.grid->hasCustomIconFailed(path));
        f.grid->preloadCustomIcon(path);
        f.add(0, QString()); // a changed group runs the pass again
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 0);
        // Painting does not ask again either.
        f.grid->resize(400, 300);
        f.grid->grab();
        QCoreApplication::processEvents();
        QCOMPARE(f.grid->pendingCustomIconCount(), 0);

        QVERIFY(!writeImage(QStringLiteral("none.png"), QSize(10, 10)).isEmpty());
        f.grid->refreshIcon(path);
        QVERIFY(!f.grid->hasCustomIconFailed(path));
        f.grid->preloadCustomIcon(path);
        QVERIFY(f.settle());
        QVERIFY(f.grid->hasCustomIcon(path));
    }

    void refreshDropsTheOlderLoad()
    {
        // The first load reads before the file exists, the second after;
        // the first result, though it arrives first, must not count.
        const QString path = testsupport::testRoot() + QStringLiteral("/icons/late.png");
        Fixture f;
        f.add(0, path);
        {
            PoolGate gate;
            f.grid->preloadCustomIcon(path);
            QThreadPool::globalInstance()->start([] { writeImage(QStringLiteral("late.png"), QSize(20, 20)); });
            f.grid->refreshIcon(path);
            QVERIFY(!f.grid->isCustomIconPending(path));
            f.grid->preloadCustomIcon(path);
            QVERIFY(f.grid->isCustomIconPending(path));
            gate.release();
        }
        QVERIFY(f.settle());
        QVERIFY(f.grid->hasCustomIcon(path));
        QVERIFY(!f.grid->hasCustomIconFailed(path));
    }

    void clearDropsLoadsInFlight()
    {
        const QString path = writeImage(QStringLiteral("clear.png"), QSize(16, 16));
        Fixture f;
        f.add(0, path);
        f.grid->preloadCustomIcons();
        f.grid->clearIconCache();
        QCOMPARE(f.grid->pendingCustomIconCount(), 0);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(!f.grid->hasCustomIcon(path));
        // A later pass loads it again.
        f.grid->preloadCustomIcons();
        QVERIFY(f.settle());
        QVERIFY(f.grid->hasCustomIcon(path));
    }

    void resultForDestroyedGridIsDropped()
    {
        const QString path = writeImage(QStringLiteral("gone.png"), QSize(16, 16));
        Fixture f;
        f.add(0, path);
        f.grid->preloadCustomIcons();
        f.grid.reset();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

    void passStartsAtMost64Loads()
    {
        Fixture f;
        for (int i = 0; i < 70; ++i)
            f.add(0, writeImage(QStringLiteral("many-%1.png").arg(i), QSize(8, 8)));
        PoolGate gate;
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 64);
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 70);
        gate.release();
        QVERIFY(f.settle());
        QCOMPARE(f.grid->cachedCustomIconCount(), 70);
    }

    void passIsSkippedWhenNothingChanged()
    {
        Fixture f;
        const QString a = writeImage(QStringLiteral("skip-a.png"), QSize(8, 8));
        f.add(0, a);
        f.add(1, writeImage(QStringLiteral("skip-b.png"), QSize(8, 8)));
        f.grid->preloadCustomIcons();
        QVERIFY(f.settle());
        f.current = 1;
        f.grid->preloadCustomIcons();
        QVERIFY(f.settle());
        // Back to a group whose icons are all cached: nothing starts.
        f.current = 0;
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 0);
        // Same group, same items, nothing pending: the pass is skipped even
        // for an icon dropped meanwhile (painting asks for that one).
        f.grid->refreshIcon(a);
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 0);
        // A changed item list runs the pass again.
        f.add(0, QString());
        f.grid->preloadCustomIcons();
        QCOMPARE(f.grid->pendingCustomIconCount(), 1);
        QVERIFY(f.settle());
    }

    void cacheKeeps256NewestIcons()
    {
        IconGrid grid;
        QPixmap pm(4, 4);
        pm.setDevicePixelRatio(2.0);
        for (int i = 0; i < 257; ++i)
            grid.cacheCustomIcon(QStringLiteral("/i/%1").arg(i), pm);
        QCOMPARE(grid.cachedCustomIconCount(), 256);
        QVERIFY(!grid.hasCustomIcon(QStringLiteral("/i/0")));
        QVERIFY(grid.hasCustomIcon(QStringLiteral("/i/256")));
        QCOMPARE(grid.customIconPixmap(QStringLiteral("/i/1")).devicePixelRatio(), 1.0);
        // Storing an icon again does not make it newer.
        grid.cacheCustomIcon(QStringLiteral("/i/1"), pm);
        grid.cacheCustomIcon(QStringLiteral("/i/new"), pm);
        QVERIFY(!grid.hasCustomIcon(QStringLiteral("/i/1")));
        grid.cacheCustomIcon(QString(), pm);
        grid.cacheCustomIcon(QStringLiteral("/i/null"), QPixmap());
        QVERIFY(!grid.hasCustomIcon(QStringLiteral("/i/null")));
    }

    void paintingUsesCustomIconAndScaledCache()
    {
        const QString path = writeImage(QStringLiteral("paint.png"), QSize(64, 64), Qt::red);
        Fixture f;
        f.add(0, path);
        f.add(0, QString());
        QMap<QString, QPixmap> shared;
        QPixmap plain(64, 64);
        plain.fill(Qt::green);
        shared.insert(f.groups[0].items[1].path, plain);
        f.grid->setPixmapCache(&shared);
        f.grid->resize(416, 300);
        // Painting asks for the missing custom icon by itself.
        f.grid->grab();
        QTRY_VERIFY(f.grid->hasCustomIcon(path));
        const QImage img = f.grid->grab().toImage();
        const QRect icon0(f.grid->itemRect(0).center().x() - 10, 20, 20, 20);
        QCOMPARE(QColor(img.pixel(icon0.center())), QColor(Qt::red));
        QVERIFY(f.grid->hasScaledIcon(QStringLiteral("c:") + path));
        QVERIFY(f.grid->hasScaledIcon(f.groups[0].items[1].path));
        f.grid->forgetIcon(f.groups[0].items[1].path);
        QVERIFY(!f.grid->hasScaledIcon(f.groups[0].items[1].path));
        // A new icon size drops every scaled icon.
        f.grid->setIconSize(64);
        f.grid->grab();
        QCOMPARE(f.grid->scaledIconCount(), 2);
    }
};

QTEST_MAIN(TestCustomIcons)
#include "test_customicons.moc"
