// The private runtime folder used when $XDG_RUNTIME_DIR is unset, the
// folders and files made for one run, the tightening of a tree, and the
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

    // Each run gets a new folder only this user can enter, even where a
    // name was planted; a base that is a link is refused.
    void runFolders()
    {
        const QString base = m_base + QStringLiteral("/base");
        const QString first = makeRunFolder(base, QStringLiteral("update"));
        const QString second = makeRunFolder(base, QStringLiteral("update"));
        QVERIFY(!first.isEmpty());
        QVERIFY(first != second);
        QVERIFY(QFileInfo(first).fileName().startsWith(QStringLiteral("update-")));
        QCOMPARE(QFileInfo(first).absolutePath(), base);
        QCOMPARE(modeOf(base), mode_t(0700));
        QCOMPARE(modeOf(first), mode_t(0700));
        QCOMPARE(modeOf(second), mode_t(0700));

        QVERIFY(QDir().mkdir(m_base + QStringLiteral("/elsewhere")));
        QVERIFY(QFile::link(m_base + QStringLiteral("/elsewhere"), m_base + QStringLiteral("/linked")));
        QString error;
        QVERIFY(makeRunFolder(m_base + QStringLiteral("/linked"), QStringLiteral("update"), &error).isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(QDir(m_base + QStringLiteral("/elsewhere")).isEmpty());
    }

    // A new file is made or nothing is: whatever lies at the name (a file,
    // a link to a file, a link to nothing) stays as it was.
    void newFilesOnly_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<int>("mode");
        QTest::newRow("nothing there, script") << QString() << 0700;
        QTest::newRow("nothing there, data") << QString() << 0600;
        QTest::newRow("a file") << QStringLiteral("file") << 0700;
        QTest::newRow("a link to a file") << QStringLiteral("link") << 0700;
        QTest::newRow("a link to nothing") << QStringLiteral("dangling") << 0700;
    }
    void newFilesOnly()
    {
        QFETCH(QString, planted);
        QFETCH(int, mode);
        const QString path = m_base + QStringLiteral("/new.sh");
        const QString victim = m_base + QStringLiteral("/victim");
        QVERIFY(testsupport::writeFile(victim, "victim"));
        if (planted == QLatin1String("file"))
            QVERIFY(testsupport::writeFile(path, "theirs"));
        else if (planted == QLatin1String("link"))
            QVERIFY(QFile::link(victim, path));
        else if (planted == QLatin1String("dangling"))
            QVERIFY(QFile::link(m_base + QStringLiteral("/nowhere"), path));
        const testsupport::FileTree before = testsupport::treeOf(m_base);
        QString error;
        const bool written = writeNewFile(path, "#!/bin/sh\n", mode, &error);
        QCOMPARE(written, planted.isEmpty());
        if (written) {
            QCOMPARE(testsupport::readFile(path), QByteArray("#!/bin/sh\n"));
            QCOMPARE(modeOf(path), mode_t(mode));
        } else {
            QVERIFY(!error.isEmpty());
            QCOMPARE(testsupport::treeOf(m_base), before);
        }
    }

    // Group and other access goes, owner bits stay; links are not followed
    // below the root, and a root reached through a link is tightened where
    // it leads.
    void tightenedTree()
    {
        const QString outside = m_base + QStringLiteral("/outside.txt");
        QVERIFY(testsupport::writeFile(outside, "not ours to change"));
        ::chmod(QFile::encodeName(outside).constData(), 0644);
        const QString real = m_base + QStringLiteral("/real");
        QVERIFY(testsupport::writeFile(real + QStringLiteral("/settings.json"), "{}"));
        QVERIFY(testsupport::writeFile(real + QStringLiteral("/apps/tool/run.sh"), "#!/bin/sh\n"));
        QVERIFY(testsupport::makeFifo(real + QStringLiteral("/fifo")));
        QVERIFY(QFile::link(outside, real + QStringLiteral("/link.txt")));
        QVERIFY(QFile::link(m_base, real + QStringLiteral("/up")));
        for (const char* d : { "", "/apps", "/apps/tool" })
            ::chmod(QFile::encodeName(real + QLatin1String(d)).constData(), 0755);
        ::chmod(QFile::encodeName(real + QStringLiteral("/settings.json")).constData(), 0644);
        ::chmod(QFile::encodeName(real + QStringLiteral("/apps/tool/run.sh")).constData(), 0755);
        ::chmod(QFile::encodeName(real + QStringLiteral("/fifo")).constData(), 0644);
        ::chmod(QFile::encodeName(m_base).constData(), 0755);
        const QString root = m_base + QStringLiteral("/root-link");
        QVERIFY(QFile::link(real, root));

        QCOMPARE(tightenTree(root), 5);
        QCOMPARE(modeOf(real), mode_t(0700));
        QCOMPARE(modeOf(real + QStringLiteral("/apps")), mode_t(0700));
        QCOMPARE(modeOf(real + QStringLiteral("/apps/tool")), mode_t(0700));
        QCOMPARE(modeOf(real + QStringLiteral("/settings.json")), mode_t(0600));
        QCOMPARE(modeOf(real + QStringLiteral("/apps/tool/run.sh")), mode_t(0700));
        QCOMPARE(modeOf(real + QStringLiteral("/fifo")), mode_t(0644));
        QCOMPARE(modeOf(outside), mode_t(0644));
        QCOMPARE(modeOf(m_base), mode_t(0755));
        QCOMPARE(tightenTree(root), 0);
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
