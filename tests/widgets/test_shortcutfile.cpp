// Shortcut files: links written by us read back by lnkinfo, edits of real
// links that keep every other byte, desktop entries that keep their other
// lines, and the errors of unreadable files.
#include "iconfixtures.h"
#include "platform/shelllink.h"
#include "testsupport.h"
#include "widgets/shortcuteditdialog.h"
#include "widgets/shortcutfile.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

using namespace iconfixtures;

namespace {

QString dir() { return testsupport::testRoot() + QStringLiteral("/links"); }

QMap<QString, QString> lnkinfo(const QString& file)
{
    QProcess tool;
    tool.start(QStringLiteral("lnkinfo"), {file});
    tool.waitForFinished(20000);
    QMap<QString, QString> fields;
    for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon > 0)
            fields.insert(line.left(colon).trimmed(), line.mid(colon + 2));
    }
    return fields;
}

LinkFixture realLink()
{
    LinkFixture f;
    f.localPath = QStringLiteral("C:\\Windows\\notepad.exe");
    f.name = QStringLiteral("Notes");
    f.relativePath = QStringLiteral("..\\Windows\\notepad.exe");
    f.workingDir = QStringLiteral("C:\\Users\\me");
    f.arguments = QStringLiteral("/p");
    f.iconLocation = QStringLiteral("C:\\Windows\\system32\\shell32.dll");
    f.iconIndex = 4;
    f.environmentTarget = QStringLiteral("%windir%\\notepad.exe");
    f.iconEnvironment = QStringLiteral("%SystemRoot%\\icons.dll");
    f.withIdList = true;
    f.runAsUser = true;
    return f;
}

} // namespace

Q_DECLARE_METATYPE(ShortcutInfo)

class TestShortcutFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir().mkpath(dir())); }
    void newLinkReadByLnkinfo_data()
    {
        QTest::addColumn<ShortcutInfo>("info");
        ShortcutInfo full;
        full.target = QStringLiteral("/usr/bin/gedit");
        full.workingDir = QStringLiteral("/home/me/work");
        full.arguments = QStringLiteral("  --new-window \"a b\"  ");
        full.iconPath = QStringLiteral("/usr/share/icons/x.png");
        full.iconIndex = 2;
        full.runAsAdmin = true;
        QTest::newRow("every field, blanks kept") << full;
        ShortcutInfo bare;
        bare.target = QStringLiteral("/opt/Überall/tool");
        QTest::newRow("non-ASCII target, nothing else") << bare;
        ShortcutInfo longArgs = full;
        longArgs.arguments = QString(400, QLatin1Char('a'));
        QTest::newRow("arguments past 260 characters") << longArgs;
    }
    void newLinkReadByLnkinfo()
    {
        QFETCH(ShortcutInfo, info);
        const QString file = dir() + QStringLiteral("/new.lnk");
        QFile::remove(file);
        QString error;
        QVERIFY2(writeShortcut(file, info, &error), qPrintable(error));
        ShortcutInfo back;
        QVERIFY(readShortcut(file, &back, &error));
        QCOMPARE(back, info);
        if (QStandardPaths::findExecutable(QStringLiteral("lnkinfo")).isEmpty())
            QSKIP("lnkinfo (liblnk-utils) is not installed");
        const QMap<QString, QString> f = lnkinfo(file);
        QCOMPARE(f.value(QStringLiteral("Local path")), info.target);
        QCOMPARE(f.value(QStringLiteral("Working directory")), info.workingDir);
        QCOMPARE(f.value(QStringLiteral("Command line arguments")), info.arguments);
        QCOMPARE(f.value(QStringLiteral("Icon location")), info.iconPath);
        QCOMPARE(f.value(QStringLiteral("Description")), QFileInfo(info.target).completeBaseName());
    }

    void editKeepsOtherBytes()
    {
        const QByteArray original = buildShellLink(realLink());
        const QString file = dir() + QStringLiteral("/real.lnk");
        QVERIFY(testsupport::writeFile(file, original));
        ShortcutInfo info;
        QVERIFY(readShortcut(file, &info));
        QCOMPARE(info.target, QStringLiteral("%windir%\\notepad.exe"));

        // Writing what was read changes nothing.
        QVERIFY(writeShortcut(file, info));
        QCOMPARE(testsupport::readFile(file), original);

        // One string: only that string's bytes change.
        info.arguments = QStringLiteral("/q");
        QVERIFY(writeShortcut(file, info));
        QByteArray expected = original;
        const QByteArray oldArgs = QByteArray::fromRawData("/\0p\0", 4);
        const qsizetype at = expected.indexOf(oldArgs);
        QVERIFY(at > 0);
        expected[at + 2] = 'q';
        QCOMPARE(testsupport::readFile(file), expected);

        // The administrator flag: only that bit of the flags.
        info.runAsAdmin = false;
        QVERIFY(writeShortcut(file, info));
        expected[21] = char(expected[21] & ~0x20);
        QCOMPARE(testsupport::readFile(file), expected);
        ShellLinkData link;
        QVERIFY(parseShellLink(expected, &link));
        QCOMPARE(link.environmentTarget, realLink().environmentTarget);
        QCOMPARE(link.relativePath, realLink().relativePath);
    }

    void newTargetReplacesWhatLocatedTheOld()
    {
        const QString file = dir() + QStringLiteral("/retarget.lnk");
        QVERIFY(testsupport::writeFile(file, buildShellLink(realLink())));
        ShortcutInfo info;
        QVERIFY(readShortcut(file, &info));
        info.target = QStringLiteral("/usr/bin/kate");
        QVERIFY(writeShortcut(file, info));
        ShellLinkData link;
        QVERIFY(parseShellLink(testsupport::readFile(file), &link));
        QCOMPARE(link.target(), info.target);
        QVERIFY(link.relativePath.isEmpty());
        QCOMPARE(link.workingDir, realLink().workingDir);
        QCOMPARE(link.iconLocation, realLink().iconEnvironment);
        QVERIFY(link.runAsUser);
    }

    void desktopEntryRoundTrip()
    {
        const QByteArray original = "# Made by hand\n[Desktop Entry]\nType=Application\nName=Editor\n"
                                    "Name[fr]=Éditeur\nExec=/usr/bin/gedit --new %U\nIcon=gedit\n"
                                    "X-Custom=1\n\n[Desktop Action win]\nName=Window\nExec=gedit -w\n";
        const QString file = dir() + QStringLiteral("/editor.desktop");
        QVERIFY(testsupport::writeFile(file, original));
        ShortcutInfo info;
        QVERIFY(readShortcut(file, &info));
        QCOMPARE(info.target, QStringLiteral("/usr/bin/gedit"));
        QCOMPARE(info.arguments, QStringLiteral("--new %U"));
        QCOMPARE(info.iconPath, QStringLiteral("gedit"));
        QVERIFY(writeShortcut(file, info));
        QCOMPARE(testsupport::readFile(file), original);
        info.workingDir = QStringLiteral("/tmp/w");
        QVERIFY(writeShortcut(file, info));
        QCOMPARE(testsupport::readFile(file),
                 QByteArray("# Made by hand\n[Desktop Entry]\nType=Application\nName=Editor\n"
                            "Name[fr]=Éditeur\nExec=/usr/bin/gedit --new %U\nIcon=gedit\n"
                            "X-Custom=1\nPath=/tmp/w\n\n[Desktop Action win]\nName=Window\nExec=gedit -w\n"));
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("快捷方式文件不存在");
        QTest::newRow("not a link") << QByteArray("garbage") << QStringLiteral("无法读取快捷方式（可能被占用）");
    }
    void errors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString file = dir() + QStringLiteral("/bad.lnk");
        QFile::remove(file);
        if (!bytes.isEmpty())
            QVERIFY(testsupport::writeFile(file, bytes));
        ShortcutInfo info;
        info.target = QStringLiteral("x");
        QString why;
        QVERIFY(!readShortcut(file, &info, &why));
        QCOMPARE(why, error);
        QCOMPARE(info, ShortcutInfo());
        if (!bytes.isEmpty()) {
            QVERIFY(!writeShortcut(file, info, &why));
            QCOMPARE(testsupport::readFile(file), bytes);
        }
    }

    void dialog()
    {
        ShortcutInfo info;
        info.target = QStringLiteral("/usr/bin/gedit");
        info.arguments = QStringLiteral(" -a ");
        ShortcutEditDialog d(QStringLiteral("/x/Editor.lnk"), QStringLiteral("Editor"), QString(), true, info,
                             QPixmap(), nullptr);
        QCOMPARE(d.size(), QSize(520, 584));
        QCOMPARE(d.targetEdit()->text(), info.target);
        d.nameEdit()->setText(QStringLiteral("   "));
        d.okButton()->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.isVisible() || d.nameEdit()->hasFocus());
        d.targetEdit()->setText(QStringLiteral("  /usr/bin/kate  "));
        QCOMPARE(d.values().target, QStringLiteral("/usr/bin/kate"));
        QCOMPARE(d.values().arguments, QStringLiteral(" -a "));
        d.restoreIcon();
        QCOMPARE(d.iconChange(), 2);
        QVERIFY(d.chosenIconPath().isEmpty());
        const QRect before = d.targetEdit()->geometry();
        d.dismissNotice();
        QCOMPARE(d.size(), QSize(520, 530));
        QCOMPARE(d.targetEdit()->geometry(), before.translated(0, -54));
        QVERIFY(d.bannerCloseButton()->isHidden());
    }
};

QTEST_MAIN(TestShortcutFile)
#include "test_shortcutfile.moc"
