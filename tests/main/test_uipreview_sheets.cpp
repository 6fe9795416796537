// The screenshot mode as the user runs it: the real executable under a real
// X server writes every sheet, and nothing outside its folder.
#include "settings/settingslayout.h"
#include "settings/settingspreview.h"

#include "testsupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

namespace {

QString dataRoot() { return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel"); }

// What a run may leave outside the output folder: the data root and its log,
// which the program opens before it looks at its arguments.
bool allowedOutside(const QString& absolute)
{
    const QString root = dataRoot();
    return absolute == root || absolute == root + QLatin1Char('/') || absolute.startsWith(root + QStringLiteral("/logs/"))
        || QDir::cleanPath(absolute) == QFileInfo(root).path();
}

} // namespace

class TestUiPreviewSheets : public QObject {
    Q_OBJECT
    QString m_root;   // the sandbox all of HOME, XDG and TMPDIR live in
    QString m_out;    // the preview folder
    QString m_cwd;    // the program's working folder
    QMap<QString, QSize> m_firstRunSizes;
    QStringList m_outsideChanges;
    int m_exitCodes[2] = {-1, -1};

    // Runs the program once; returns what changed in the sandbox outside the
    // preview folder.
    QStringList runPreview(int run)
    {
        const testsupport::FileTree before = testsupport::treeOf(m_root);
        QProcess p;
        p.setWorkingDirectory(m_cwd);
        p.start(testsupport::panelBinary(), {QStringLiteral("--ui-preview=") + m_out});
        if (!p.waitForFinished(180000))
            p.kill();
        m_exitCodes[run] = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        const testsupport::FileTree after = testsupport::treeOf(m_root);
        QStringList changed;
        const QString outRel = QDir(m_root).relativeFilePath(m_out) + QLatin1Char('/');
        QSet<QString> keys(before.keyBegin(), before.keyEnd());
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            keys.insert(it.key());
        for (const QString& key : std::as_const(keys)) {
            if (key.startsWith(outRel) || (before.contains(key) == after.contains(key) && before.value(key) == after.value(key)))
                continue;
            // Making the folder makes its missing parents too.
            if (outRel.startsWith(key) && key.endsWith(QLatin1Char('/')))
                continue;
            if (!allowedOutside(m_root + QLatin1Char('/') + key))
                changed << key;
        }
        return changed;
    }

    static QSize dialogSize()
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return settingsDialogSize(screen ? screen->availableGeometry() : QRect());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
        m_root = testsupport::testRoot();
        m_out = m_root + QStringLiteral("/shots/out");
        m_cwd = m_root + QStringLiteral("/cwd");
        QVERIFY(QDir().mkpath(m_cwd));
        // Stored settings that would turn the sheets dark and English if the
        // mode read them, and a layout it must not touch either.
        QVERIFY(testsupport::writeFile(dataRoot() + QStringLiteral("/settings.json"), "{\"darkTheme\": true, \"language\": 1}\n"));
        QVERIFY(testsupport::writeFile(dataRoot() + QStringLiteral("/layout.json"), "{\"groups\": []}\n"));

        m_outsideChanges = runPreview(0);
        for (const QString& name : QDir(m_out).entryList({QStringLiteral("*.png")}, QDir::Files))
            m_firstRunSizes.insert(name, QImage(m_out + QLatin1Char('/') + name).size());

        // The second run must replace every picture and every sample
        // snapshot, whatever is in the folder.
        for (const QString& name : QDir(m_out).entryList({QStringLiteral("*.png")}, QDir::Files))
            QVERIFY(testsupport::writeFile(m_out + QLatin1Char('/') + name, "not a picture"));
        for (const PreviewSnapshot& s : previewSnapshots())
            QVERIFY(testsupport::writeFile(m_out + QStringLiteral("/_backup_preview/") + QLatin1String(s.fileName), "x"));
        m_outsideChanges += runPreview(1);
    }

    void bothRunsEndWithZero()
    {
        QCOMPARE(m_exitCodes[0], 0);
        QCOMPARE(m_exitCodes[1], 0);
    }

    void sheets_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        const QSize dialog = dialogSize();
        const QSize landscape(900, 520);
        // Fixed by the widgets themselves.
        QTest::newRow("lock dialog set") << "lock-dialog-set.png" << QSize(340, 0);
        QTest::newRow("lock dialog unlock") << "lock-dialog-unlock.png" << QSize(340, 0);
        QTest::newRow("lock dialog change") << "lock-dialog-change.png" << QSize(340, 0);
        QTest::newRow("update dialog") << "update-dialog.png" << QSize(440, 0);
        QTest::newRow("lock landscape") << "lock-overlay-landscape.png" << landscape;
        QTest::newRow("lock portrait") << "lock-overlay-portrait.png" << QSize(420, 700);
        QTest::newRow("lock dark") << "lock-overlay-dark.png" << landscape;
        QTest::newRow("lock unlock") << "lock-overlay-unlock.png" << landscape;
        QTest::newRow("lock photo") << "lock-overlay-photo.png" << landscape;
        for (const char* name :
             {"settings-lock-default", "settings-lock-custom", "settings-appearance-top", "settings-appearance-half",
              "settings-appearance-mid", "settings-general", "settings-icons-groups", "settings-monitor",
              "settings-protect", "settings-protect-model-moved", "settings-about", "settings-about-bottom",
              "settings-appearance-top-dark", "settings-general-dark", "settings-icons-dark", "settings-about-dark",
              "settings-general-bottom", "settings-protect-en", "settings-appearance-bg", "settings-backup",
              "settings-backup-en"})
            QTest::newRow(name) << QString::fromLatin1(name) + QStringLiteral(".png") << dialog;
        QTest::newRow("log viewer") << "log-viewer.png" << QSize(900, 620);
        QTest::newRow("log viewer dark") << "log-viewer-dark.png" << QSize(900, 620);
        QTest::newRow("backup glyphs") << "backup-nav-icons.png" << QSize(420, 150);
        QTest::newRow("shortcut editor") << "shortcut-edit-dialog.png" << QSize(520, 584);
        QTest::newRow("shortcut editor, plain file") << "shortcut-edit-dialog-nolnk.png" << QSize(520, 584);
        QTest::newRow("glyph rows") << "uibtn-glyphs.png" << QSize(632, 180);
        QTest::newRow("orientation on green") << "rotate-icon-green.png" << QSize(240, 130);
        QTest::newRow("obfuscation frames") << "uibtn-obfuscate-frames.png" << QSize(512, 150);
        QTest::newRow("hover animation") << "uibtn-hover-anim.png" << QSize(406, 192);
        // Laid out from their texts in the project's fonts.
        QTest::newRow("item menu") << "item-menu.png" << QSize(0, 0);
        QTest::newRow("hint card") << "hint-bg.png" << QSize(0, 0);
        QTest::newRow("message info") << "msg-info.png" << QSize(0, 0);
        QTest::newRow("message question") << "msg-question.png" << QSize(0, 0);
        QTest::newRow("message warning") << "msg-warning.png" << QSize(0, 0);
        QTest::newRow("progress") << "progress-backup.png" << QSize(0, 0);
        QTest::newRow("progress 45") << "progress-backup-45.png" << QSize(0, 0);
        QTest::newRow("sign-in") << "sign-in.png" << QSize(0, 0);
        QTest::newRow("sign-in, English") << "sign-in-en.png" << QSize(0, 0);
        QTest::newRow("sign-in filled in") << "sign-in-filled.png" << QSize(0, 0);
        QTest::newRow("sign-in filled in, English") << "sign-in-filled-en.png" << QSize(0, 0);
    }
    void sheets()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const QImage image(m_out + QLatin1Char('/') + file);
        QVERIFY2(!image.isNull(), qPrintable(file));
        qInfo().noquote() << file << image.width() << "x" << image.height();
        QCOMPARE(m_firstRunSizes.value(file), image.size());
        if (size.width() > 0)
            QCOMPARE(image.width(), size.width());
        if (size.height() > 0)
            QCOMPARE(image.height(), size.height());
    }

    void checkFilesPass_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("glyph rows") << "uibtn-glyphs-check.txt";
        QTest::newRow("obfuscation animation") << "uibtn-obfuscate-anim-check.txt";
    }
    void checkFilesPass()
    {
        QFETCH(QString, file);
        const QByteArray text = testsupport::readFile(m_out + QLatin1Char('/') + file);
        QVERIFY2(text.endsWith("result=PASS\n"), text.constData());
    }

    void nothingIsWrittenOutsideTheFolder()
    {
        QVERIFY2(m_outsideChanges.isEmpty(), qPrintable(m_outsideChanges.join(QLatin1Char('\n'))));
        // No sample path may make a folder relative to the working folder.
        QCOMPARE(QDir(m_cwd).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFileInfo::exists(QDir(QDir::homePath()).filePath(QStringLiteral("C:"))));
        // The sample lock background lives only while its shot is taken.
        QVERIFY(!QFileInfo::exists(m_out + QStringLiteral("/_lockbg-sample.png")));
        // The stored settings and layout are as the test wrote them (the
        // tree comparison above), and were not read: the light sheet is light.
        const QImage general(m_out + QStringLiteral("/settings-general.png"));
        QVERIFY(qGray(general.pixel(general.width() - 40, general.height() / 2)) > 200);
        // Besides the pictures and check texts, only the sample snapshots and
        // the sample log.
        QCOMPARE(QDir(m_out).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("_backup_preview"), QStringLiteral("_log_preview")}));
    }

    // The log viewer's sheets show sample lines, never this machine's log.
    void logSheetsShowSampleLines()
    {
        const QByteArray sample = testsupport::readFile(m_out + QStringLiteral("/_log_preview/2026-11-06/app.log"));
        QVERIFY(sample.contains("[info]"));
        QVERIFY(!sample.contains(QDir::homePath().toUtf8()));
    }

    // The recorder's sheet shows its settings, not an empty page: much of the
    // content area differs from the card colour.
    void monitorSheetShowsTheRecorder()
    {
        const QImage image = QImage(m_out + QStringLiteral("/settings-monitor.png")).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!image.isNull());
        const QRect content(180, 80, image.width() - 210, image.height() - 150);
        const QRgb card = image.pixel(content.right() - 2, content.bottom() - 2);
        int marked = 0;
        for (int y = content.top(); y <= content.bottom(); ++y)
            for (int x = content.left(); x <= content.right(); ++x)
                marked += image.pixel(x, y) != card ? 1 : 0;
        QVERIFY2(marked > content.width() * content.height() / 100, qPrintable(QString::number(marked)));
    }

    void sampleSnapshotsAreRewritten()
    {
        const QDir dir(m_out + QStringLiteral("/_backup_preview"));
        QStringList expected;
        for (const PreviewSnapshot& s : previewSnapshots()) {
            const QString name = QLatin1String(s.fileName);
            expected << name;
            const QByteArray bytes = testsupport::readFile(dir.filePath(name));
            QCOMPARE(bytes.size(), qsizetype(s.kib) * 1024);
            QVERIFY2(bytes.count('\0') == bytes.size(), qPrintable(name));
        }
        QCOMPARE(expected.size(), 9);
        QCOMPARE(expected.first(), QStringLiteral("Quillory-PreRestore-20261106-131626.zip"));
        expected.sort();
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    // Pictures that must not come out alike: the palette, the language, the
    // state of the lock screen or the groups of the dialog differ.
    void picturesDiffer_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("general light/dark") << "settings-general.png" << "settings-general-dark.png";
        QTest::newRow("appearance light/dark") << "settings-appearance-top.png" << "settings-appearance-top-dark.png";
        QTest::newRow("icons light/dark") << "settings-icons-groups.png" << "settings-icons-dark.png";
        QTest::newRow("about light/dark") << "settings-about.png" << "settings-about-dark.png";
        QTest::newRow("log viewer light/dark") << "log-viewer.png" << "log-viewer-dark.png";
        QTest::newRow("lock screen light/dark") << "lock-overlay-landscape.png" << "lock-overlay-dark.png";
        QTest::newRow("lock screen card/entry") << "lock-overlay-landscape.png" << "lock-overlay-unlock.png";
        QTest::newRow("lock screen backdrop/photo") << "lock-overlay-landscape.png" << "lock-overlay-photo.png";
        QTest::newRow("lock background default/custom") << "settings-lock-default.png" << "settings-lock-custom.png";
        QTest::newRow("protection small/moved groups") << "settings-protect.png" << "settings-protect-model-moved.png";
        QTest::newRow("protection Chinese/English") << "settings-protect.png" << "settings-protect-en.png";
        QTest::newRow("backup Chinese/English") << "settings-backup.png" << "settings-backup-en.png";
        QTest::newRow("appearance scrolled") << "settings-appearance-top.png" << "settings-appearance-half.png";
        QTest::newRow("progress 0/45") << "progress-backup.png" << "progress-backup-45.png";
        QTest::newRow("shortcut editor lnk/plain") << "shortcut-edit-dialog.png" << "shortcut-edit-dialog-nolnk.png";
        QTest::newRow("sign-in Chinese/English") << "sign-in.png" << "sign-in-en.png";
        QTest::newRow("sign-in empty/filled") << "sign-in.png" << "sign-in-filled.png";
    }
    void picturesDiffer()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        const QImage first = QImage(m_out + QLatin1Char('/') + a).convertToFormat(QImage::Format_ARGB32);
        const QImage second = QImage(m_out + QLatin1Char('/') + b).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!first.isNull() && !second.isNull());
        QVERIFY2(first != second, qPrintable(a + QStringLiteral(" looks like ") + b));
    }

    void sheetsComeInTheirOrder()
    {
        // One picture of each step, in the order the steps run; the
        // protection page is written twice, the small groups last.
        const QStringList order{
            QStringLiteral("kicked-expired.png"), QStringLiteral("sign-in-filled-en.png"),
            QStringLiteral("update-dialog.png"),
            QStringLiteral("lock-dialog-change.png"), QStringLiteral("item-menu.png"),
            QStringLiteral("lock-overlay-photo.png"), QStringLiteral("settings-lock-custom.png"),
            QStringLiteral("settings-protect-model-moved.png"), QStringLiteral("log-viewer-dark.png"),
            QStringLiteral("settings-protect.png"), QStringLiteral("hint-bg.png"),
            QStringLiteral("settings-backup-en.png"), QStringLiteral("progress-backup-45.png"),
            QStringLiteral("backup-nav-icons.png"), QStringLiteral("uibtn-glyphs.png"),
            QStringLiteral("uibtn-ink.txt"), QStringLiteral("shortcut-edit-dialog-nolnk.png")};
        QDateTime previous;
        for (const QString& name : order) {
            const QDateTime written = QFileInfo(m_out + QLatin1Char('/') + name).lastModified();
            QVERIFY2(written.isValid(), qPrintable(name));
            QVERIFY2(!previous.isValid() || previous <= written, qPrintable(name + QStringLiteral(" came too early")));
            previous = written;
        }
    }

    void lockScreenShowsTheEntryFullyFadedIn()
    {
        // The entry is opaque white over the backdrop: far more white pixels
        // than the card alone shows.
        const auto whiteShare = [this](const QString& file) {
            const QImage image = QImage(m_out + QLatin1Char('/') + file).convertToFormat(QImage::Format_RGB32);
            int white = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
            return white;
        };
        QVERIFY(whiteShare(QStringLiteral("lock-overlay-unlock.png")) > whiteShare(QStringLiteral("lock-overlay-landscape.png")) + 2000);
    }
};

QTEST_MAIN(TestUiPreviewSheets)
#include "test_uipreview_sheets.moc"
