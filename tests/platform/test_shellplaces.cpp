#include "platform/shellplaces.h"
#include "testsupport.h"

#include <QFile>
#include <QtTest>

class TestShellPlaces : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsPlaces_data();
    void findsPlaces();
    void urls_data();
    void urls();
    void launchPrefersFirstProgramFound();
};

void TestShellPlaces::findsPlaces_data()
{
    QTest::addColumn<QString>("parsingName");
    QTest::addColumn<QString>("canonical"); // empty: not a known place
    const QString computer = QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");
    QTest::newRow("computer") << computer << computer;
    QTest::newRow("lower case") << computer.toLower() << computer;
    QTest::newRow("without the colons") << computer.mid(2) << QString();
    QTest::newRow("unknown id") << QStringLiteral("::{00000000-0000-0000-0000-000000000000}") << QString();
    for (const char* id : {"::{645FF040-5081-101B-9F08-00AA002F954E}", "::{208D2C60-3AEA-1069-A2D7-08002B30309D}",
                           "::{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}", "::{7007ACC7-3202-11D1-AAD2-00805FC1270E}",
                           "::{2227A280-3AEA-1069-A2DE-08002B30309D}", "::{5399E694-6CE5-4D6C-8FCE-1D8870FDCBA0}",
                           "::{59031A47-3F72-44A7-89C5-5595FE6B30EE}"})
        QTest::newRow(id) << QString::fromLatin1(id) << QString::fromLatin1(id);
}

void TestShellPlaces::findsPlaces()
{
    QFETCH(QString, parsingName);
    QFETCH(QString, canonical);
    const ShellPlace* place = findShellPlace(parsingName);
    QCOMPARE(place ? place->parsingName : QString(), canonical);
    if (place) {
        QVERIFY(!place->displayName.isEmpty());
        QVERIFY(!place->iconNames.isEmpty());
        QVERIFY(!place->url.isEmpty() || !place->programs.isEmpty());
    }
}

void TestShellPlaces::urls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("parsingName");
    QTest::newRow("trash") << "trash:///" << "::{645FF040-5081-101B-9F08-00AA002F954E}";
    QTest::newRow("trash without path") << "trash:" << "::{645FF040-5081-101B-9F08-00AA002F954E}";
    QTest::newRow("computer") << "computer:///" << "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    QTest::newRow("network") << "network:///" << "::{208D2C60-3AEA-1069-A2D7-08002B30309D}";
    QTest::newRow("file in the trash") << "trash:///a.txt" << QString();
    QTest::newRow("home folder as a file") << QUrl::fromLocalFile(QDir::homePath()).toString() << QString();
    QTest::newRow("web") << "https://example.org/" << QString();
}

void TestShellPlaces::urls()
{
    QFETCH(QString, url);
    QFETCH(QString, parsingName);
    const ShellPlace* place = shellPlaceForUrl(QUrl(url));
    QCOMPARE(place ? place->parsingName : QString(), parsingName);
}

void TestShellPlaces::launchPrefersFirstProgramFound()
{
    // Only the second settings program of "printers" exists on this PATH.
    const QString bin = testsupport::testRoot() + QStringLiteral("/bin");
    const QString tool = bin + QStringLiteral("/gnome-control-center");
    QVERIFY(testsupport::writeFile(tool, "#!/bin/sh\n"));
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", bin.toUtf8());
    const ShellPlace* printers = findShellPlace(QStringLiteral("::{2227A280-3AEA-1069-A2DE-08002B30309D}"));
    QVERIFY(printers);
    ShellPlaceLaunch launch = resolveShellPlaceLaunch(*printers);
    QVERIFY(launch.ok);
    QCOMPARE(launch.program, tool);
    QCOMPARE(launch.arguments, QStringList{QStringLiteral("printers")});

    qputenv("PATH", QByteArray(testsupport::testRoot().toUtf8() + "/empty"));
    QVERIFY(!resolveShellPlaceLaunch(*printers).ok);
    launch = resolveShellPlaceLaunch(*findShellPlace(QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}")));
    QVERIFY(launch.ok);
    QCOMPARE(launch.url, QUrl(QStringLiteral("trash:///")));
}

QTEST_GUILESS_MAIN(TestShellPlaces)
#include "test_shellplaces.moc"
