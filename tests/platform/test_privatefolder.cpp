// The private runtime folder used when $XDG_RUNTIME_DIR is unset, and the
// owner check of socket files.
#include "platform/privatefolder.h"
#include "platform/process.h"

#include "testsupport.h"

#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUser = 65534;

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool makeSocketFile(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(addr.sun_path, native.constData(), std::size_t(native.size()));
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

class TestPrivateFolder : public QObject {
    Q_OBJECT
    QString m_base;

private Q_SLOTS:
    void init()
    {
        m_base = testsupport::testRoot() + QStringLiteral("/private-") + QString::number(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(m_base));
    }
    void cleanup() { QDir(m_base).removeRecursively(); }

    void createdOrTightened()
    {
        const QString fresh = m_base + QStringLiteral("/fresh");
        QVERIFY(ensurePrivateFolder(fresh));
        QCOMPARE(modeOf(fresh), mode_t(0700));

        const QString open = m_base + QStringLiteral("/open");
        QVERIFY(QDir().mkdir(open));
        ::chmod(QFile::encodeName(open).constData(), 0777);
        QVERIFY(ensurePrivateFolder(open));
        QCOMPARE(modeOf(open), mode_t(0700));
    }

    // Names another user could have planted before us.
    void plantedNamesRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder of another user") << QStringLiteral("foreign");
        QTest::newRow("link to a folder") << QStringLiteral("link");
        QTest::newRow("plain file") << QStringLiteral("file");
    }
    void plantedNamesRefused()
    {
        QFETCH(QString, kind);
        const QString path = m_base + QStringLiteral("/planted");
        const QByteArray native = QFile::encodeName(path);
        if (kind == QLatin1String("foreign")) {
            QVERIFY(QDir().mkdir(path));
            ::chmod(native.constData(), 0777);
            if (::chown(native.constData(), kOtherUser, kOtherUser) != 0)
                QSKIP("changing a file's owner needs root");
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QDir().mkdir(m_base + QStringLiteral("/target")));
            QVERIFY(QFile::link(m_base + QStringLiteral("/target"), path));
        } else {
            QVERIFY(testsupport::writeFile(path, "x"));
        }
        const mode_t before = modeOf(path);
        QString error;
        QVERIFY(!ensurePrivateFolder(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(modeOf(path), before);
    }

    void runtimeFolderWithoutXdg()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString expected = QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/TarnavelPanel-") + currentUserKey();
        QDir(expected).removeRecursively();
        const QString folder = runtimeDirectory();
        QCOMPARE(folder, expected);
        QCOMPARE(modeOf(folder), mode_t(0700));
        QVERIFY(QDir(folder).removeRecursively());
        // The same name planted as a file: no folder, so no socket path.
        QVERIFY(testsupport::writeFile(expected, "x"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^runtime folder refused:")));
        QCOMPARE(runtimeDirectory(), QString());
        QFile::remove(expected);
        qputenv("XDG_RUNTIME_DIR", saved);
    }

    void socketOwner()
    {
        const QString path = m_base + QStringLiteral("/sock");
        QVERIFY(makeSocketFile(path));
        QVERIFY(isOwnSocketFile(path));
        QVERIFY(!isOwnSocketFile(m_base));
        QVERIFY(!isOwnSocketFile(m_base + QStringLiteral("/missing")));
        const QString link = m_base + QStringLiteral("/link");
        QVERIFY(QFile::link(path, link));
        QVERIFY(!isOwnSocketFile(link));
        if (::lchown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser) != 0)
            QSKIP("changing a file's owner needs root");
        QVERIFY(!isOwnSocketFile(path));
    }
};

QTEST_GUILESS_MAIN(TestPrivateFolder)
#include "test_privatefolder.moc"
