// The user-data bundle: what goes in, which bundles are refused, and an
// import that replaces its files all or none.
#include "backup/userdata.h"

#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cstdio>

namespace {

QByteArray json(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject validBundle()
{
    QJsonObject b;
    b.insert(QStringLiteral("app"), QStringLiteral("TarnavelPanel"));
    b.insert(QStringLiteral("layout"), QJsonObject{ { QStringLiteral("groups"), QJsonArray() } });
    b.insert(QStringLiteral("settings"), QJsonObject{ { QStringLiteral("iconSize"), 64 } });
    return b;
}

} // namespace

class TestUserData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void bundleHoldsTheThreeFiles();
    void readRefuses_data();
    void readRefuses();
    void sizeLimit();
    void registryOnlyWhenNotEmpty();
    void replacesAllFiles();
    void failedWriteRollsBack_data();
    void failedWriteRollsBack();
    void unsafeTargetChangesNothing_data();
    void unsafeTargetChangesNothing();
    void killedImportIsAllOrNone_data();
    void killedImportIsAllOrNone();
    void interruptedSwitchBackIsFinished();

private:
    QString root;
    UserDataFiles files;
};

void TestUserData::init()
{
    root = testsupport::testRoot() + QStringLiteral("/ud-") + QString::fromLatin1(QTest::currentTestFunction())
        + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    QDir(root).removeRecursively();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/data")));
    files.dataRoot = root + QStringLiteral("/data");
    files.layout = files.dataRoot + QStringLiteral("/layout.json");
    files.settings = files.dataRoot + QStringLiteral("/settings.json");
    files.registry = files.dataRoot + QStringLiteral("/apps_registry.json");
}

void TestUserData::bundleHoldsTheThreeFiles()
{
    QVERIFY(testsupport::writeFile(files.layout, "{\"groups\":[{\"name\":\"A\",\"items\":[]}],\"extra\":1}"));
    QVERIFY(testsupport::writeFile(files.settings, "not json"));
    QVERIFY(testsupport::writeFile(files.dataRoot + QStringLiteral("/auth.json"), "{\"token\":\"secret\"}"));
    const QDateTime now(QDate(2025, 3, 2), QTime(9, 8, 7));
    const QJsonObject b = buildUserDataBundle(files, QStringLiteral("1.2.3"), now);
    QCOMPARE(b.value(QStringLiteral("app")).toString(), QStringLiteral("TarnavelPanel"));
    QCOMPARE(b.value(QStringLiteral("version")).toString(), QStringLiteral("1.2.3"));
    QCOMPARE(b.value(QStringLiteral("exportedAt")).toString(), QStringLiteral("2025-03-02T09:08:07"));
    QCOMPARE(b.value(QStringLiteral("layout")).toObject().value(QStringLiteral("extra")).toInt(), 1);
    QCOMPARE(b.value(QStringLiteral("settings")).toObject(), QJsonObject());
    QCOMPARE(b.value(QStringLiteral("registry")).toObject(), QJsonObject());
    QVERIFY(!json(b).contains("secret"));

    const QString out = root + QStringLiteral("/bundle.json");
    QCOMPARE(writeUserDataBundle(out, b), BundleWrite::Ok);
    QJsonObject back;
    QCOMPARE(readUserDataBundle(out, back), BundleRead::Ok);
    QCOMPARE(back, b);
    QCOMPARE(writeUserDataBundle(root + QStringLiteral("/no-such-dir/bundle.json"), b), BundleWrite::OpenFailed);
}

void TestUserData::readRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QJsonObject b = validBundle();
    QTest::newRow("valid") << json(b) << int(BundleRead::Ok);
    b.insert(QStringLiteral("app"), QStringLiteral("tarnavelpanel"));
    QTest::newRow("app in other case") << json(b) << int(BundleRead::Invalid);
    b.remove(QStringLiteral("app"));
    QTest::newRow("no app") << json(b) << int(BundleRead::Invalid);
    b = validBundle();
    b.insert(QStringLiteral("layout"), QJsonArray());
    QTest::newRow("layout is an array") << json(b) << int(BundleRead::Invalid);
    // Imported as it was, a missing settings object reset every setting.
    b = validBundle();
    b.remove(QStringLiteral("settings"));
    QTest::newRow("no settings") << json(b) << int(BundleRead::Invalid);
    b.insert(QStringLiteral("settings"), QJsonArray());
    QTest::newRow("settings is an array") << json(b) << int(BundleRead::Invalid);
    QTest::newRow("not json") << QByteArray("{{") << int(BundleRead::Invalid);
    b = validBundle();
    b.insert(QStringLiteral("registry"),
             QJsonObject{ { QStringLiteral("installed"),
                            QJsonArray{ QJsonObject{ { QStringLiteral("id"), QStringLiteral("../../home") } } } } });
    QTest::newRow("registry id climbing out") << json(b) << int(BundleRead::Invalid);
    b.insert(QStringLiteral("registry"),
             QJsonObject{ { QStringLiteral("installed"),
                            QJsonArray{ QJsonObject{ { QStringLiteral("id"), QStringLiteral("com.tool_x+1") } } } } });
    QTest::newRow("registry id plain") << json(b) << int(BundleRead::Ok);
}

void TestUserData::readRefuses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    const QString path = root + QStringLiteral("/b.json");
    QVERIFY(testsupport::writeFile(path, bytes));
    QJsonObject out;
    QCOMPARE(int(readUserDataBundle(path, out)), result);
    QCOMPARE(out.isEmpty(), result != int(BundleRead::Ok));
}

void TestUserData::sizeLimit()
{
    QJsonObject out;
    QCOMPARE(readUserDataBundle(root + QStringLiteral("/missing.json"), out), BundleRead::Unreadable);
    QCOMPARE(readUserDataBundle(root, out), BundleRead::Unreadable);

    // Exactly the limit is read; one byte more is refused unread.
    QByteArray bytes = json(validBundle());
    bytes.chop(1);
    bytes += ",\"pad\":\"";
    bytes += QByteArray(kMaxBundleBytes - bytes.size() - 2, 'x');
    bytes += "\"}";
    QCOMPARE(qint64(bytes.size()), kMaxBundleBytes);
    const QString path = root + QStringLiteral("/big.json");
    QVERIFY(testsupport::writeFile(path, bytes));
    QCOMPARE(readUserDataBundle(path, out), BundleRead::Ok);
    QVERIFY(testsupport::writeFile(path, bytes + ' '));
    QCOMPARE(readUserDataBundle(path, out), BundleRead::TooLarge);
}

void TestUserData::registryOnlyWhenNotEmpty()
{
    QJsonObject b = validBundle();
    QCOMPARE(importEntriesFor(b, files).size(), 2);
    b.insert(QStringLiteral("registry"), QJsonObject());
    QCOMPARE(importEntriesFor(b, files).size(), 2);
    b.insert(QStringLiteral("registry"), QJsonObject{ { QStringLiteral("installed"), QJsonArray() } });
    const QList<ImportEntry> entries = importEntriesFor(b, files);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(2).path, files.registry);
    // A bundle without "settings" writes an empty object there.
    b.remove(QStringLiteral("settings"));
    QCOMPARE(importEntriesFor(b, files).at(1).newContent, QByteArray("{\n}\n"));
}

void TestUserData::replacesAllFiles()
{
    QVERIFY(testsupport::writeFile(files.layout, "old layout"));
    QList<ImportEntry> entries = importEntriesFor(validBundle(), files);
    QCOMPARE(replaceUserDataFiles(entries, files.dataRoot), ImportResult::Done);
    QCOMPARE(testsupport::readFile(files.layout), entries.at(0).newContent);
    QCOMPARE(testsupport::readFile(files.settings), entries.at(1).newContent);
    QVERIFY(entries.at(0).existed);
    QVERIFY(!entries.at(1).existed);
}

void TestUserData::failedWriteRollsBack_data()
{
    QTest::addColumn<bool>("layoutExisted");
    QTest::addColumn<bool>("firstFails");
    QTest::newRow("second fails, first existed") << true << false;
    QTest::newRow("second fails, first was new") << false << false;
    QTest::newRow("first fails") << true << true;
}

void TestUserData::failedWriteRollsBack()
{
    QFETCH(bool, layoutExisted);
    QFETCH(bool, firstFails);
    if (layoutExisted)
        QVERIFY(testsupport::writeFile(files.layout, "old layout"));
    QVERIFY(testsupport::writeFile(files.settings, "old settings"));
    QJsonObject b = validBundle();
    // The big entry cannot be written under the size limit below, as on a
    // full disk.
    const QString big(4096, QLatin1Char('x'));
    if (firstFails)
        b.insert(QStringLiteral("layout"), QJsonObject{ { QStringLiteral("pad"), big } });
    else
        b.insert(QStringLiteral("settings"), QJsonObject{ { QStringLiteral("pad"), big } });
    QList<ImportEntry> entries = importEntriesFor(b, files);
    QString failed;
    ImportResult result;
    {
        testsupport::FileSizeLimit limit(1024);
        if (!limit.active())
            QSKIP("cannot limit the file size here");
        result = replaceUserDataFiles(entries, files.dataRoot, &failed);
    }
    QCOMPARE(result, ImportResult::RolledBack);
    QCOMPARE(failed, firstFails ? files.layout : files.settings);
    QCOMPARE(testsupport::readFile(files.settings), QByteArray("old settings"));
    if (layoutExisted)
        QCOMPARE(testsupport::readFile(files.layout), QByteArray("old layout"));
    else
        QVERIFY(!QFileInfo::exists(files.layout));
    QCOMPARE(QDir(files.dataRoot).entryList(QDir::Files | QDir::Hidden).size(), layoutExisted ? 2 : 1);
}

void TestUserData::unsafeTargetChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("layout is a link out of the data root") << QStringLiteral("link");
    QTest::newRow("settings is a folder") << QStringLiteral("folder");
    QTest::newRow("registry outside the data root") << QStringLiteral("outside");
    QTest::newRow("data root reached through a link") << QStringLiteral("linked-root");
}

void TestUserData::unsafeTargetChangesNothing()
{
    QFETCH(QString, kind);
    const QString victim = root + QStringLiteral("/victim.txt");
    QVERIFY(testsupport::writeFile(victim, "not ours"));
    QVERIFY(testsupport::writeFile(files.layout, "old layout"));
    QVERIFY(testsupport::writeFile(files.settings, "old settings"));
    QJsonObject b = validBundle();
    b.insert(QStringLiteral("registry"), QJsonObject{ { QStringLiteral("installed"), QJsonArray() } });
    UserDataFiles f = files;
    if (kind == QStringLiteral("link")) {
        QVERIFY(QFile::remove(files.layout));
        QVERIFY(QFile::link(victim, files.layout));
    } else if (kind == QStringLiteral("folder")) {
        QVERIFY(QFile::remove(files.settings));
        QVERIFY(QDir().mkpath(files.settings));
    } else if (kind == QStringLiteral("outside")) {
        f.registry = victim;
    } else {
        QVERIFY(QFile::link(files.dataRoot, root + QStringLiteral("/alias")));
        f.layout = root + QStringLiteral("/alias/layout.json");
        f.dataRoot = root + QStringLiteral("/other-root");
        QVERIFY(QDir().mkpath(f.dataRoot));
    }
    QList<ImportEntry> entries = importEntriesFor(b, f);
    QCOMPARE(replaceUserDataFiles(entries, f.dataRoot), ImportResult::UnsafeTarget);
    QCOMPARE(testsupport::readFile(victim), QByteArray("not ours"));
    if (kind != QStringLiteral("link"))
        QCOMPARE(testsupport::readFile(files.layout), QByteArray("old layout"));
    if (kind != QStringLiteral("folder"))
        QCOMPARE(testsupport::readFile(files.settings), QByteArray("old settings"));
    QVERIFY(!QFileInfo::exists(files.registry));
}

namespace {

// Large enough that writing one file takes a while, so that a kill can land
// between the files; the two layouts differ in size so the switch shows.
const qint64 kLayoutBytes = 4 * 1024 * 1024;
const qint64 kSettingsBytes = 16 * 1024 * 1024;

QList<ImportEntry> bulkEntries(const QString& dataRoot, char fill)
{
    ImportEntry layout;
    layout.path = dataRoot + QStringLiteral("/layout.json");
    layout.newContent = QByteArray(kLayoutBytes + (fill == 'B' ? 1 : 0), fill);
    ImportEntry settings;
    settings.path = dataRoot + QStringLiteral("/settings.json");
    settings.newContent = QByteArray(kSettingsBytes, fill);
    return { layout, settings };
}

// The child mode of this executable: imports the "B" files over `dataRoot`.
int runImportChild(const QString& dataRoot)
{
    QList<ImportEntry> entries = bulkEntries(dataRoot, 'B');
    std::printf("ready\n");
    std::fflush(stdout);
    return replaceUserDataFiles(entries, dataRoot) == ImportResult::Done ? 0 : 1;
}

char firstByte(const QString& path)
{
    QFile f(path);
    char c = 0;
    return f.open(QIODevice::ReadOnly) && f.getChar(&c) ? c : 0;
}

} // namespace

void TestUserData::killedImportIsAllOrNone_data()
{
    QTest::addColumn<QString>("killWhen");
    QTest::newRow("the first file has been replaced") << QStringLiteral("layout");
    QTest::newRow("the new files are being written") << QStringLiteral("staging");
}

// The process dies (a power cut, the OOM killer) between the files of an
// import; the next start must find all of it or none of it.
void TestUserData::killedImportIsAllOrNone()
{
    QFETCH(QString, killWhen);
    for (const ImportEntry& e : bulkEntries(files.dataRoot, 'A'))
        QVERIFY(testsupport::writeFile(e.path, e.newContent));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--import-child"), files.dataRoot });
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() == QProcess::NotRunning, 60000);
    QElapsedTimer wait;
    wait.start();
    const auto reached = [&] {
        if (killWhen == QStringLiteral("layout"))
            return QFileInfo(files.layout).size() == kLayoutBytes + 1;
        return !QDir(files.dataRoot).entryList({ QStringLiteral("*.import-new*") }, QDir::Files).isEmpty();
    };
    while (!reached() && child.state() != QProcess::NotRunning && wait.elapsed() < 60000)
        QThread::usleep(100);
    child.kill();
    child.waitForFinished();

    finishInterruptedImport(files.dataRoot);
    const char layout = firstByte(files.layout);
    QVERIFY(layout == 'A' || layout == 'B');
    QCOMPARE(firstByte(files.settings), layout);
    QCOMPARE(QFileInfo(files.layout).size(), kLayoutBytes + (layout == 'B' ? 1 : 0));
    QCOMPARE(QFileInfo(files.settings).size(), kSettingsBytes);
    // Nothing of the import is left beside the files.
    QCOMPARE(QDir(files.dataRoot).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{ QStringLiteral("layout.json"), QStringLiteral("settings.json") }));
    QCOMPARE(finishInterruptedImport(files.dataRoot), ImportRecovery::NothingToDo);
}

// A switch that failed half-way and was being undone when the process died:
// the next start finishes the way back, not the import.
void TestUserData::interruptedSwitchBackIsFinished()
{
    QVERIFY(testsupport::writeFile(files.layout, "old layout"));
    QVERIFY(testsupport::writeFile(files.settings, "old settings"));
    QList<ImportEntry> entries = importEntriesFor(validBundle(), files);
    QCOMPARE(replaceUserDataFiles(entries, files.dataRoot), ImportResult::Done);
    // The state such a run leaves: the record says "back", the first file is
    // the imported one with its original kept beside it, the second was
    // never switched.
    QVERIFY(testsupport::writeFile(files.layout + QStringLiteral(".import-old"), "old layout"));
    QVERIFY(testsupport::writeFile(files.settings, "old settings"));
    QVERIFY(testsupport::writeFile(files.settings + QStringLiteral(".import-new"), entries.at(1).newContent));
    QVERIFY(testsupport::writeFile(files.settings + QStringLiteral(".import-old"), "old settings"));
    QVERIFY(testsupport::writeFile(files.dataRoot + QStringLiteral("/import-state.json"),
                                   "{\"phase\":\"back\",\"files\":[{\"name\":\"layout.json\",\"existed\":true},"
                                   "{\"name\":\"settings.json\",\"existed\":true},"
                                   "{\"name\":\"apps_registry.json\",\"existed\":false}]}"));
    QVERIFY(testsupport::writeFile(files.registry, "imported registry"));
    QCOMPARE(finishInterruptedImport(files.dataRoot), ImportRecovery::RolledBack);
    QCOMPARE(testsupport::readFile(files.layout), QByteArray("old layout"));
    QCOMPARE(testsupport::readFile(files.settings), QByteArray("old settings"));
    QCOMPARE(QDir(files.dataRoot).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{ QStringLiteral("layout.json"), QStringLiteral("settings.json") }));

    // A record naming other files is not acted on.
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/victim.txt"), "not ours"));
    QVERIFY(testsupport::writeFile(files.dataRoot + QStringLiteral("/import-state.json"),
                                   "{\"phase\":\"back\",\"files\":[{\"name\":\"../victim.txt\",\"existed\":false}]}"));
    QCOMPARE(finishInterruptedImport(files.dataRoot), ImportRecovery::Failed);
    QCOMPARE(testsupport::readFile(root + QStringLiteral("/victim.txt")), QByteArray("not ours"));
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--import-child") == 0) {
        QCoreApplication app(argc, argv);
        return runImportChild(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestUserData test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_userdata.moc"
