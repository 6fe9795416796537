#include "app/configsafety.h"
#include "app/lang.h"

#include "testsupport.h"

#include <QtTest>

namespace {

struct Toast {
    QString text;
    int kind;
};

struct Scheduled {
    int delayMs;
    std::function<void()> fn;
};

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

const QRegularExpression kPreservedLog(QStringLiteral("^corrupt config preserved: "));

} // namespace

class TestConfigSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { setLanguage(0); }

    void saveReplacesTheWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/layout.json");
        QVERIFY(testsupport::writeFile(path, "old contents"));
        QString error;
        QVERIFY(saveFileAtomically(path, "new", &error));
        QCOMPARE(testsupport::readFile(path), QByteArray("new"));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("layout.json")});
    }

    // A file the save makes is private to the user; one it replaces keeps
    // the mode it had.
    void newFilesArePrivate()
    {
        QTemporaryDir dir;
        const QString fresh = dir.path() + QStringLiteral("/auth.json");
        QVERIFY(saveFileAtomically(fresh, "{}", nullptr));
        QCOMPARE(QFileInfo(fresh).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(fresh).permissions() & 0x7000, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QString shared = dir.path() + QStringLiteral("/notes.desktop");
        QVERIFY(testsupport::writeFile(shared, "old"));
        const QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(QFile::setPermissions(shared, mode));
        QVERIFY(saveFileAtomically(shared, "new", nullptr));
        QCOMPARE(QFileInfo(shared).permissions() & 0x7077, mode);
    }

    void failedSaveLeavesTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("small, fails when flushed") << 100;
        QTest::newRow("large, fails while writing") << 256 * 1024;
    }
    void failedSaveLeavesTheOldFile()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/settings.json");
        QVERIFY(testsupport::writeFile(path, "keep me"));
        const QByteArray big(size, 'x');
        QString error;
        bool ok = true;
        {
            testsupport::FileSizeLimit limit(40);  // a disk that fills up after 40 bytes
            QVERIFY(limit.active());
            ok = saveFileAtomically(path, big, &error);
        }
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(testsupport::readFile(path), QByteArray("keep me"));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("settings.json")});
    }

    void saveThatCannotOpen_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << "no/such/folder/settings.json";
        QTest::newRow("target is a folder") << "folder";
    }
    void saveThatCannotOpen()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder/inner")));
        QString error;
        QVERIFY(!saveFileAtomically(dir.path() + QLatin1Char('/') + relative, "x", &error));
        QVERIFY(error.startsWith(QStringLiteral("cannot open for writing")));
        QVERIFY(QFileInfo(dir.path() + QStringLiteral("/folder/inner")).isDir());
    }

    void preserveUsesTheStampedName()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/settings.json");
        QVERIFY(testsupport::writeFile(path, "{bad"));
        const QDateTime at(QDate(2024, 3, 9), QTime(7, 5, 4, 32));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("corrupt config preserved: \"%1\" -> \"%1.corrupt-20240309-070504-032\" ok = true").arg(path)));
        QVERIFY(preserveCorruptConfig(path, [&] { return at; }));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("settings.json.corrupt-20240309-070504-032")});
    }

    void preserveNumbersAClash()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/settings.json");
        QVERIFY(testsupport::writeFile(path, "{bad"));
        const QString first = path + QStringLiteral(".corrupt-20240309-070504-032");
        QVERIFY(testsupport::writeFile(first, "earlier copy"));
        QDateTime at(QDate(2024, 3, 9), QTime(7, 5, 4, 32));
        // The numbered name takes a fresh stamp.
        const auto clock = [&at] { const QDateTime t = at; at = at.addMSecs(1); return t; };
        QTest::ignoreMessage(QtWarningMsg, kPreservedLog);
        QVERIFY(preserveCorruptConfig(path, clock));
        QCOMPARE(testsupport::readFile(path + QStringLiteral(".corrupt-20240309-070504-033-0")), QByteArray("{bad"));
        QCOMPARE(testsupport::readFile(first), QByteArray("earlier copy"));
        QVERIFY(!QFileInfo::exists(path));
    }

    void preserveNeverOverwritesAnEarlierCopy()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/layout.json");
        QVERIFY(testsupport::writeFile(path, "{bad"));
        const QDateTime at(QDate(2024, 3, 9), QTime(7, 5, 4, 32));
        const QString base = path + QStringLiteral(".corrupt-20240309-070504-032");
        QVERIFY(testsupport::writeFile(base, "copy"));
        for (int i = 0; i < 100; ++i)
            QVERIFY(testsupport::writeFile(base + QLatin1Char('-') + QString::number(i), "copy"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^corrupt config preserved: .* ok = false$")));
        QVERIFY(!preserveCorruptConfig(path, [&] { return at; }));
        QCOMPARE(testsupport::readFile(path), QByteArray("{bad"));
        QCOMPARE(testsupport::readFile(base + QStringLiteral("-99")), QByteArray("copy"));
        QVERIFY(isConfigOverwriteBlocked(path));
        QString error;
        QVERIFY(!saveConfigFile(path, "{}", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(testsupport::readFile(path), QByteArray("{bad"));
        // The block is only for this file.
        QVERIFY(saveConfigFile(dir.path() + QStringLiteral("/other.json"), "{}", nullptr));
        clearConfigOverwriteBlock(path);
        QVERIFY(saveConfigFile(path, "{}", nullptr));
    }

    void saveNeverWritesThroughALink_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to a file") << false;
        QTest::newRow("dangling link") << true;
    }
    void saveNeverWritesThroughALink()
    {
        QFETCH(bool, dangling);
        QTemporaryDir dir;
        const QString target = dir.path() + QStringLiteral("/outside.json");
        const QString path = dir.path() + QStringLiteral("/settings.json");
        if (!dangling)
            QVERIFY(testsupport::writeFile(target, "theirs"));
        QVERIFY(QFile::link(target, path));
        QString error;
        QVERIFY(!saveConfigFile(path, "ours", &error));
        QVERIFY(error.contains(QLatin1String("symbolic link")));
        QCOMPARE(QFileInfo::exists(target), !dangling);
        if (!dangling)
            QCOMPARE(testsupport::readFile(target), QByteArray("theirs"));

        // Set aside, the link moves as it is and the next save writes a file.
        QVERIFY(preserveCorruptConfig(path));
        QVERIFY(!QFileInfo(path).isSymLink());
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::AllEntries | QDir::System);
        QCOMPARE(aside.size(), 1);
        QVERIFY(QFileInfo(dir.path() + QLatin1Char('/') + aside.first()).isSymLink());
        QVERIFY(saveConfigFile(path, "ours", nullptr));
        QCOMPARE(testsupport::readFile(path), QByteArray("ours"));
        QCOMPARE(QFileInfo::exists(target), !dangling);
    }

    void savesWaitWhileARestoreHoldsThem()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/layout.json");
        QVERIFY(testsupport::writeFile(path, "restored"));
        configSaveHolds().fetch_add(1);
        QString error;
        const bool saved = saveConfigFile(path, "old state", &error);
        configSaveHolds().fetch_sub(1);
        QVERIFY(!saved);
        QVERIFY(error.contains(QLatin1String("restore")));
        QCOMPARE(testsupport::readFile(path), QByteArray("restored"));
        QVERIFY(saveConfigFile(path, "new", nullptr));
    }

    void preserveWithoutAFile()
    {
        QVERIFY(preserveCorruptConfig(QString()));
        QVERIFY(preserveCorruptConfig(testsupport::testRoot() + QStringLiteral("/absent.json")));
        QVERIFY(!isConfigOverwriteBlocked(testsupport::testRoot() + QStringLiteral("/absent.json")));
    }

    void damageNotice_data()
    {
        QTest::addColumn<QList<int>>("files");       // 0 settings, 1 layout
        QTest::addColumn<QList<bool>>("preserved");
        QTest::addColumn<QList<int>>("delays");       // of the toasts scheduled, in order
        QTest::addColumn<QStringList>("texts");
        const QString settings = ConfigDamageNotice::preservedText(ConfigDamageNotice::File::Settings);
        const QString layout = ConfigDamageNotice::preservedText(ConfigDamageNotice::File::Layout);
        const QString settingsStays = ConfigDamageNotice::notPreservedText(ConfigDamageNotice::File::Settings);
        const QString layoutStays = ConfigDamageNotice::notPreservedText(ConfigDamageNotice::File::Layout);
        QTest::newRow("settings then layout") << QList<int>{0, 1} << QList<bool>{true, true}
                                              << QList<int>{3000} << QStringList{settings};
        QTest::newRow("layout alone") << QList<int>{1} << QList<bool>{true}
                                      << QList<int>{3200} << QStringList{layout};
        QTest::newRow("settings twice (reload)") << QList<int>{0, 0} << QList<bool>{true, true}
                                                 << QList<int>{3000} << QStringList{settings};
        QTest::newRow("kept in place is always told") << QList<int>{0, 1} << QList<bool>{true, false}
                                                      << QList<int>{3000, 3200} << QStringList{settings, layoutStays};
        QTest::newRow("kept in place first") << QList<int>{0, 1} << QList<bool>{false, true}
                                             << QList<int>{3000} << QStringList{settingsStays};
    }
    void damageNotice()
    {
        QFETCH(QList<int>, files);
        QFETCH(QList<bool>, preserved);
        QFETCH(QList<int>, delays);
        QFETCH(QStringList, texts);
        QList<Toast> toasts;
        QList<Scheduled> scheduled;
        ConfigDamageNotice notice([&](const QString& t, int k) { toasts.append({t, k}); },
                                  [&](int ms, std::function<void()> fn) { scheduled.append({ms, std::move(fn)}); });
        for (int i = 0; i < files.size(); ++i)
            notice.report(files[i] == 0 ? ConfigDamageNotice::File::Settings : ConfigDamageNotice::File::Layout, preserved[i]);
        QVERIFY(toasts.isEmpty());  // nothing before the delay
        QCOMPARE(scheduled.size(), delays.size());
        for (int i = 0; i < scheduled.size(); ++i) {
            QCOMPARE(scheduled[i].delayMs, delays[i]);
            scheduled[i].fn();
            QCOMPARE(toasts.last().text, texts[i]);
            QCOMPARE(toasts.last().kind, 1);
        }
        QVERIFY(notice.claimed());
    }

    void damageToastIsTranslatedWhenShown()
    {
        QList<Toast> toasts;
        std::function<void()> pending;
        ConfigDamageNotice notice([&](const QString& t, int k) { toasts.append({t, k}); },
                                  [&](int, std::function<void()> fn) { pending = std::move(fn); });
        QVERIFY(notice.report(ConfigDamageNotice::File::Settings, true));
        setLanguage(1);
        pending();
        QCOMPARE(toasts.size(), 1);
        QVERIFY(toasts.first().text.startsWith(QStringLiteral("The settings file was corrupted.")));
    }

    void damageToastFiresOnATimer()
    {
        QList<Toast> toasts;
        ConfigDamageNotice notice([&](const QString& t, int k) { toasts.append({t, k}); });
        QElapsedTimer timer;
        timer.start();
        notice.report(ConfigDamageNotice::File::Settings, true);
        QTRY_COMPARE_WITH_TIMEOUT(toasts.size(), 1, 6000);
        QVERIFY(timer.elapsed() >= 2900);
    }

    void saveFailureToastIsThrottledPerPath()
    {
        testsupport::FakeClock clock;
        clock.now = 1'000'000;
        QList<Toast> toasts;
        ConfigSaveFailureReporter reporter([&](const QString& t, int k) { toasts.append({t, k}); }, clock.source());
        const QString settings = QStringLiteral("/data/settings.json");
        const QString layout = QStringLiteral("/data/layout.json");
        const auto expectLog = [](const QString& path, const QString& msg) {
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("config save failed: \"%1\" \"%2\"").arg(path, msg)));
        };

        expectLog(settings, QStringLiteral("设置文件写入失败"));
        reporter.report(settings, QStringLiteral("设置文件写入失败"));
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(toasts.last().text, QStringLiteral("设置文件写入失败"));
        QCOMPARE(toasts.last().kind, 1);

        clock.now += 500;
        expectLog(layout, QStringLiteral("分组布局写入失败"));
        reporter.report(layout, QStringLiteral("分组布局写入失败"));
        QCOMPARE(toasts.size(), 2);

        clock.now += 500;  // 1 s after the first: logged, no toast
        expectLog(settings, QStringLiteral("设置文件写入失败"));
        reporter.report(settings, QStringLiteral("设置文件写入失败"));
        QCOMPARE(toasts.size(), 2);

        clock.now += 3999;  // 4999 ms after the first toast
        expectLog(settings, QStringLiteral("设置文件写入失败"));
        reporter.report(settings, QStringLiteral("设置文件写入失败"));
        QCOMPARE(toasts.size(), 2);

        clock.now += 1;  // 5000 ms
        expectLog(settings, QStringLiteral("设置文件写入失败"));
        reporter.report(settings, QStringLiteral("设置文件写入失败"));
        QCOMPARE(toasts.size(), 3);
    }

    void emptyMessageShowsTheGeneralText()
    {
        testsupport::FakeClock clock;
        QList<Toast> toasts;
        ConfigSaveFailureReporter reporter([&](const QString& t, int k) { toasts.append({t, k}); }, clock.source());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^config save failed: ")));
        reporter.report(QStringLiteral("/a.json"), QString());
        QCOMPARE(toasts.last().text, QStringLiteral("保存失败：无法写入配置文件"));
        setLanguage(1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^config save failed: ")));
        reporter.report(QStringLiteral("/b.json"), QString());
        QCOMPARE(toasts.last().text, QStringLiteral("Save failed: cannot write the configuration file"));
    }
};

QTEST_GUILESS_MAIN(TestConfigSafety)
#include "test_configsafety.moc"
