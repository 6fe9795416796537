#include "platform/applicationfinder.h"
#include "testsupport.h"

#include <QtTest>

class TestApplicationFinder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void find_data();
    void find();
    void standardFoldersFollowXdgDataHome();

private:
    QString m_user;
    QString m_system;
};

void TestApplicationFinder::initTestCase()
{
    const QString root = testsupport::testRoot() + QStringLiteral("/apps");
    m_user = root + QStringLiteral("/user");
    m_system = root + QStringLiteral("/system");
    auto entry = [](const QString& path, const QByteArray& body) {
        QVERIFY(testsupport::writeFile(path, "[Desktop Entry]\n" + body));
    };
    entry(m_system + QStringLiteral("/term.desktop"), "Type=Application\nExec=term\n");
    entry(m_system + QStringLiteral("/edit.desktop"), "Type=Application\nExec=edit\n");
    entry(m_user + QStringLiteral("/edit.desktop"), "Type=Application\nExec=edit --mine\n");
    entry(m_system + QStringLiteral("/gone.desktop"), "Type=Application\nExec=gone\n");
    entry(m_user + QStringLiteral("/gone.desktop"), "Hidden=true\n");
    entry(m_system + QStringLiteral("/link.desktop"), "Type=Link\nURL=https://example.org\n");
    entry(m_system + QStringLiteral("/tryabs.desktop"), "Type=Application\nTryExec=/no/such/program\nExec=x\n");
    entry(m_system + QStringLiteral("/trypath.desktop"), "Type=Application\nTryExec=sh\nExec=sh\n");
    entry(m_system + QStringLiteral("/othergroup.desktop"),
          "Type=Application\nExec=x\n[Desktop Action new]\nHidden=true\nType=Link\n");
    QVERIFY(testsupport::writeFile(m_system + QStringLiteral("/nogroup.desktop"), "Type=Application\nExec=x\n"));
}

void TestApplicationFinder::find_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("expected"); // "user/x" or "system/x", empty for none
    QTest::newRow("system entry") << QStringList{"term.desktop"} << "system/term.desktop";
    QTest::newRow("first installed id wins") << QStringList{"none.desktop", "term.desktop", "edit.desktop"}
                                             << "system/term.desktop";
    QTest::newRow("user copy overrides") << QStringList{"edit.desktop"} << "user/edit.desktop";
    QTest::newRow("hidden by the user") << QStringList{"gone.desktop"} << "";
    QTest::newRow("hidden falls through to next id") << QStringList{"gone.desktop", "term.desktop"}
                                                     << "system/term.desktop";
    QTest::newRow("not an application") << QStringList{"link.desktop"} << "";
    QTest::newRow("TryExec absent") << QStringList{"tryabs.desktop"} << "";
    QTest::newRow("TryExec on PATH") << QStringList{"trypath.desktop"} << "system/trypath.desktop";
    QTest::newRow("keys of other groups ignored") << QStringList{"othergroup.desktop"} << "system/othergroup.desktop";
    QTest::newRow("no main group") << QStringList{"nogroup.desktop"} << "";
    QTest::newRow("ids with folders refused") << QStringList{"../system/term.desktop"} << "";
    QTest::newRow("nothing") << QStringList{} << "";
}

void TestApplicationFinder::find()
{
    QFETCH(QStringList, ids);
    QFETCH(QString, expected);
    const XdgApplicationFinder finder({m_user, m_system});
    const QString got = finder.findDesktopEntry(ids);
    if (expected.isEmpty())
        QCOMPARE(got, QString());
    else
        QCOMPARE(got, QFileInfo(m_user).absolutePath() + QLatin1Char('/') + expected);
}

void TestApplicationFinder::standardFoldersFollowXdgDataHome()
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        QSKIP("needs the isolated test environment");
    QVERIFY(testsupport::writeFile(dataHome + QStringLiteral("/applications/qy-probe.desktop"),
                                   "[Desktop Entry]\nType=Application\nExec=true\n"));
    const XdgApplicationFinder finder;
    QCOMPARE(finder.findDesktopEntry({QStringLiteral("qy-probe.desktop")}),
             dataHome + QStringLiteral("/applications/qy-probe.desktop"));
}

QTEST_GUILESS_MAIN(TestApplicationFinder)
#include "test_applicationfinder.moc"
