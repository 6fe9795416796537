// The real launcher against stand-ins of the desktop's openers: small
// scripts on PATH that write down the arguments and folder they got.
#include "platform/launcher.h"

#include "testsupport.h"

#include <QtTest>

namespace {

QString bin() { return testsupport::testRoot() + QStringLiteral("/standins"); }

// A script that records "$PWD" and its arguments, one per line, in <name>.log.
void writeRecorder(const QString& path, const QString& log)
{
    const QByteArray script = "#!/bin/sh\n"
                              "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '"
                              + log.toUtf8() + ".tmp'\n"
                              "mv '" + log.toUtf8() + ".tmp' '" + log.toUtf8() + "'\n";
    QVERIFY(testsupport::writeFile(path, script));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList recorded(const QString& log)
{
    QString text = QString::fromUtf8(testsupport::readFile(log));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace

class TestLauncher : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        for (const char* name : {"xdg-open", "pkexec"})
            writeRecorder(bin() + QLatin1Char('/') + QLatin1String(name), bin() + QLatin1Char('/') + QLatin1String(name) + ".log");
        qputenv("PATH", (bin() + QStringLiteral(":") + qEnvironmentVariable("PATH")).toUtf8());
        qputenv("DISPLAY", ":42");
        qputenv("XAUTHORITY", "/tmp/xauth-test");
    }

    void documentGoesToXdgOpen()
    {
        const QString doc = testsupport::testRoot() + QStringLiteral("/docs/a b.txt");
        QVERIFY(testsupport::writeFile(doc, "text"));
        QString error;
        QVERIFY2(launcher().openUrl(QUrl::fromLocalFile(doc), &error), qPrintable(error));
        const QString log = bin() + QStringLiteral("/xdg-open.log");
        QTRY_VERIFY(QFileInfo::exists(log));
        QCOMPARE(recorded(log).mid(1), QStringList{doc});
        QFile::remove(log);
    }

    void programStartsWithArgumentsInItsFolder()
    {
        const QString program = testsupport::testRoot() + QStringLiteral("/apps/tool");
        const QString log = testsupport::testRoot() + QStringLiteral("/apps/tool.log");
        writeRecorder(program, log);
        const QString folder = testsupport::testRoot() + QStringLiteral("/work dir");
        QDir().mkpath(folder);
        Launcher::Request r;
        r.target = program;
        r.arguments = QStringLiteral("--name \"two words\" \";rm -rf x\" $HOME");
        r.workDir = folder;
        QVERIFY(launcher().launch(r));
        QTRY_VERIFY(QFileInfo::exists(log));
        QCOMPARE(recorded(log), (QStringList{folder, "--name", "two words", ";rm -rf x", "$HOME"}));
    }

    void runAsGoesToPkexec()
    {
        const QString program = testsupport::testRoot() + QStringLiteral("/apps/setup");
        writeRecorder(program, program + QStringLiteral(".log"));
        Launcher::Request r;
        r.verb = Launcher::Verb::RunAs;
        r.target = program;
        r.arguments = QStringLiteral("/S");
        r.workDir = testsupport::testRoot();
        QVERIFY(launcher().launch(r));
        const QString log = bin() + QStringLiteral("/pkexec.log");
        QTRY_VERIFY(QFileInfo::exists(log));
        const QStringList args = recorded(log).mid(1);
        QVERIFY2(args.size() == 6, qPrintable(args.join(QLatin1Char('|'))));
        QVERIFY(args.at(0).endsWith(QLatin1String("/env")));
        QCOMPARE(args.mid(1), (QStringList{"--chdir=" + testsupport::testRoot(), "DISPLAY=:42",
                                           "XAUTHORITY=/tmp/xauth-test", program, "/S"}));
    }

    void failuresAreReported()
    {
        QString error;
        Launcher::Request r;
        r.target = testsupport::testRoot() + QStringLiteral("/nothing-here");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^launch: open .* failed:")));
        QVERIFY(!launcher().launch(r, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "test_launcher.moc"
