// The program installed as a Linux program: `cmake --install` into a
// temporary prefix puts the executable, the media module, the desktop entry
// and the icon in place; the entry passes the reference validator; the
// installed panel starts on the X server, loads its module from the
// installed place, points its autostart entry at itself and writes no
// install marker. The Debian package holds the same files under /usr.
#include "testsupport.h"
#include "videoclips.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QByteArray out;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.out = p.readAll();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QString buildDir()
{
    return qEnvironmentVariable("QY_BUILD_DIR");
}

QStringList installedFiles()
{
    return {QStringLiteral("bin/TarnavelPanel"), QStringLiteral("lib/quillory/libquillory-media.so"),
            QStringLiteral("share/applications/TarnavelPanel.desktop"),
            QStringLiteral("share/icons/hicolor/256x256/apps/tarnavelpanel.png")};
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_prefix = testsupport::testRoot() + QStringLiteral("/prefix with space");
        const Run r = run(QStringLiteral("cmake"), {QStringLiteral("--install"), buildDir(), QStringLiteral("--prefix"),
                                                   m_prefix});
        QVERIFY2(r.code == 0, r.out.constData());
    }

    void filesLand()
    {
        for (const QString& file : installedFiles())
            QVERIFY2(QFileInfo(m_prefix + QLatin1Char('/') + file).isFile(), qPrintable(file));
        QVERIFY(QFileInfo(m_prefix + QStringLiteral("/bin/TarnavelPanel")).isExecutable());
        // Nothing of the tests or benchmarks.
        QDirIterator all(m_prefix, QDir::Files, QDirIterator::Subdirectories);
        int count = 0;
        while (all.hasNext()) {
            all.next();
            ++count;
        }
        QCOMPARE(count, installedFiles().size());
    }

    void desktopEntryValidates()
    {
        const QString entry = m_prefix + QStringLiteral("/share/applications/TarnavelPanel.desktop");
        const Run r = run(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(r.code == 0 && r.out.trimmed().isEmpty(), r.out.constData());
        const QString text = QString::fromUtf8(testsupport::readFile(entry));
        const QString exe = m_prefix + QStringLiteral("/bin/TarnavelPanel");
        QVERIFY2(text.contains(QStringLiteral("\nExec=\"%1\"\n").arg(exe)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\nIcon=tarnavelpanel\n")), qPrintable(text));
    }

    // The executable starts without any codec library, nor libcrypto, which
    // it opens on first use; the module brings the codecs and finds every one.
    void codecLibrariesOnlyInTheModule()
    {
        const Run exe = run(QStringLiteral("ldd"), {m_prefix + QStringLiteral("/bin/TarnavelPanel")});
        QCOMPARE(exe.code, 0);
        QVERIFY2(!QString::fromUtf8(exe.out).contains(QRegularExpression(QStringLiteral("libav|libsw|x264|libcrypto"))),
                 exe.out.constData());
        const Run module = run(QStringLiteral("ldd"), {m_prefix + QStringLiteral("/lib/quillory/libquillory-media.so")});
        QCOMPARE(module.code, 0);
        QVERIFY2(module.out.contains("libavcodec") && !module.out.contains("not found"), module.out.constData());
    }

    void installedPanelStarts()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qgetenv("QT_QPA_PLATFORM") != "xcb")
            QSKIP("needs the X server of the test command");
        // A video background, so that the panel loads its media module.
        const QString dataRoot = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel");
        const QString clip = testsupport::testRoot() + QStringLiteral("/background.mp4");
        QVERIFY(testsupport::writeTestClip(clip, QSize(64, 48), 6, 30));
        QJsonObject settings;
        settings.insert(QStringLiteral("bgImagePath"), clip);
        QVERIFY(testsupport::writeFile(dataRoot + QStringLiteral("/settings.json"), QJsonDocument(settings).toJson()));

        const QString exe = m_prefix + QStringLiteral("/bin/TarnavelPanel");
        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("KRV_BENCH_FIRST_PAINT"), QStringLiteral("1"));
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(QDir::homePath());
        panel.start(exe, {});
        QVERIFY(panel.waitForStarted(10000));
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += panel.readAllStandardOutput(), out.contains("first-paint")), 20000);

        const QString logs = dataRoot + QStringLiteral("/logs");
        const QString loaded = QStringLiteral("media module loaded: %1/lib/quillory/libquillory-media.so").arg(m_prefix);
        auto logText = [&logs] {
            QString text;
            QDirIterator it(logs, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                text += QString::fromUtf8(testsupport::readFile(it.next()));
            return text;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(logText().contains(loaded), qPrintable(logText()), 15000);

        const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/TarnavelPanel.desktop");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(autostart), 10000);
        QVERIFY2(testsupport::readFile(autostart).contains(QStringLiteral("Exec=\"%1\"").arg(exe).toUtf8()),
                 testsupport::readFile(autostart).constData());

        panel.terminate();
        QVERIFY(panel.waitForFinished(15000));
        // A system install holds no install marker, so the panel's own
        // uninstall never deletes a folder of it.
        QDirIterator all(m_prefix, {QStringLiteral("TarnavelPanel.install")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!all.hasNext());
    }

    void debianPackage()
    {
        const QString out = testsupport::testRoot() + QStringLiteral("/package");
        const Run made = run(QStringLiteral("cpack"), {QStringLiteral("--config"), buildDir() + QStringLiteral("/CPackConfig.cmake"),
                                                     QStringLiteral("-B"), out}, 300000);
        QVERIFY2(made.code == 0, made.out.constData());
        const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = out + QLatin1Char('/') + debs.first();
        const Run listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
        QCOMPARE(listing.code, 0);
        for (const QString& file : installedFiles())
            QVERIFY2(listing.out.contains(("./usr/" + file).toUtf8()), qPrintable(file));
        const Run depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
        QVERIFY2(depends.out.contains("libqt6widgets6"), depends.out.constData());
        const QString unpacked = testsupport::testRoot() + QStringLiteral("/unpacked");
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, unpacked}).code, 0);
        QVERIFY(testsupport::readFile(unpacked + QStringLiteral("/usr/share/applications/TarnavelPanel.desktop"))
                    .contains("\nExec=\"/usr/bin/TarnavelPanel\"\n"));
    }

private:
    QString m_prefix;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
