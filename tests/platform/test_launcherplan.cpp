#include "platform/launcherplan.h"

#include "testsupport.h"

#include <QtTest>

namespace {

// A folder of things to start: a program, a script, files and entries.
struct Fixture {
    QString root = testsupport::testRoot() + QStringLiteral("/launch");

    Fixture()
    {
        write(QStringLiteral("bin/tool"), QByteArray("\x7f" "ELF\x02\x01\x01", 7), true);
        write(QStringLiteral("bin/script.sh"), "#!/bin/sh\necho hi\n", true);
        write(QStringLiteral("bin/plain-x.txt"), "just text\n", true);
        write(QStringLiteral("doc/report.pdf"), "%PDF-1.4\n", false);
        write(QStringLiteral("doc/tool-copy"), QByteArray("\x7f" "ELF", 4), false);
        QDir().mkpath(root + QStringLiteral("/dir with space"));
        write(QStringLiteral("apps/editor.desktop"),
              "[Desktop Entry]\nType=Application\nExec=editor --new %U\nPath=" + root.toUtf8() + "/doc\n", false);
        write(QStringLiteral("apps/abs.desktop"),
              "[Desktop Entry]\nType=Application\nExec=\"" + root.toUtf8() + "/bin/tool\" -q\n", false);
        write(QStringLiteral("apps/top.desktop"), "[Desktop Entry]\nType=Application\nExec=top\nTerminal=true\n", false);
        write(QStringLiteral("apps/site.desktop"), "[Desktop Entry]\nType=Link\nURL=https://example.org/\n", false);
        write(QStringLiteral("apps/dir.desktop"), "[Desktop Entry]\nType=Directory\n", false);
        write(QStringLiteral("apps/bad.desktop"), "[Desktop Entry]\nType=Application\nExec=app \"open\n", false);
        write(QStringLiteral("apps/gone.desktop"), "[Desktop Entry]\nExec=no-such-program\n", false);
        write(QStringLiteral("apps/notentry.desktop"), "hello\n", false);
    }

    void write(const QString& rel, const QByteArray& bytes, bool executable)
    {
        const QString path = root + QLatin1Char('/') + rel;
        QVERIFY(testsupport::writeFile(path, bytes));
        QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            p |= QFile::ExeOwner;
        QFile::setPermissions(path, p);
    }

    // Programs "on PATH": a fixed set under /usr/bin, and an "env" from a
    // folder of the user's that comes first on PATH.
    static LaunchTools tools(bool withTerminal = true)
    {
        LaunchTools t;
        t.findProgram = [withTerminal](const QString& name) -> QString {
            static const QStringList known{"xdg-open", "pkexec", "editor", "top"};
            if (known.contains(name) || (withTerminal && name == QLatin1String("x-terminal-emulator")))
                return QStringLiteral("/usr/bin/") + name;
            if (name == QLatin1String("env"))
                return QStringLiteral("/home/user/bin/env");
            return QString();
        };
        t.environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":7"));
        t.environment.insert(QStringLiteral("XAUTHORITY"), QStringLiteral("/run/user/1000/xauth"));
        t.environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
        return t;
    }
};

} // namespace

class TestLauncherPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plans_data()
    {
        // Paths in the table are relative to the fixture root ("@/").
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("dir");
        QTest::newRow("program with arguments and folder")
            << "@/bin/tool" << R"(-v "two words")" << "@/doc" << "@/bin/tool" << QStringList{"-v", "two words"} << "@/doc";
        QTest::newRow("script") << "@/bin/script.sh" << "" << "" << "@/bin/script.sh" << QStringList{} << "";
        QTest::newRow("executable text file is a document")
            << "@/bin/plain-x.txt" << "" << "" << "/usr/bin/xdg-open" << QStringList{"@/bin/plain-x.txt"} << "";
        QTest::newRow("program without x bit is a document")
            << "@/doc/tool-copy" << "" << "" << "/usr/bin/xdg-open" << QStringList{"@/doc/tool-copy"} << "";
        QTest::newRow("document ignores arguments")
            << "@/doc/report.pdf" << "--page 3" << "@/doc" << "/usr/bin/xdg-open" << QStringList{"@/doc/report.pdf"} << "@/doc";
        QTest::newRow("folder") << "@/dir with space" << "" << "" << "/usr/bin/xdg-open" << QStringList{"@/dir with space"} << "";
        QTest::newRow("web address") << "https://example.org/a?b=1" << "" << "" << "/usr/bin/xdg-open"
                                     << QStringList{"https://example.org/a?b=1"} << "";
        QTest::newRow("mail address") << "mailto:a@example.org" << "" << "" << "/usr/bin/xdg-open"
                                      << QStringList{"mailto:a@example.org"} << "";
        QTest::newRow("entry: field codes dropped, Path used")
            << "@/apps/editor.desktop" << "" << "" << "/usr/bin/editor" << QStringList{"--new"} << "@/doc";
        QTest::newRow("entry: item arguments appended, item folder wins")
            << "@/apps/editor.desktop" << "notes.txt" << "@/bin" << "/usr/bin/editor" << QStringList{"--new", "notes.txt"} << "@/bin";
        QTest::newRow("entry: absolute program") << "@/apps/abs.desktop" << "" << "" << "@/bin/tool" << QStringList{"-q"} << "";
        QTest::newRow("entry: terminal program")
            << "@/apps/top.desktop" << "" << "" << "/usr/bin/x-terminal-emulator" << QStringList{"-e", "/usr/bin/top"} << "";
        QTest::newRow("entry: link") << "@/apps/site.desktop" << "" << "" << "/usr/bin/xdg-open"
                                     << QStringList{"https://example.org/"} << "";
        QTest::newRow("recycle bin place") << "::{645FF040-5081-101B-9F08-00AA002F954E}" << "" << ""
                                           << "/usr/bin/xdg-open" << QStringList{"trash:///"} << "";
        QTest::newRow("place in lower case") << "::{645ff040-5081-101b-9f08-00aa002f954e}" << "" << ""
                                             << "/usr/bin/xdg-open" << QStringList{"trash:///"} << "";
    }
    void plans()
    {
        QFETCH(QString, target);
        QFETCH(QString, args);
        QFETCH(QString, workDir);
        QFETCH(QStringList, arguments);
        Fixture f;
        auto at = [&](QString s) { return s.replace(QStringLiteral("@/"), f.root + QLatin1Char('/')); };
        Launcher::Request r;
        r.target = at(target);
        r.arguments = args;
        r.workDir = at(workDir);
        const LaunchPlan plan = planLaunch(r, Fixture::tools());
        QVERIFY2(plan.ok, qPrintable(plan.error));
        QFETCH(QString, program);
        QCOMPARE(plan.command.program, at(program));
        for (QString& a : arguments)
            a = at(a);
        QCOMPARE(plan.command.arguments, arguments);
        QFETCH(QString, dir);
        QCOMPARE(plan.command.workDir, at(dir));
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("missing file") << "@/doc/nothing.pdf" << "" << true;
        QTest::newRow("empty target") << "" << "" << true;
        QTest::newRow("missing working folder") << "@/bin/tool" << "@/nowhere" << true;
        QTest::newRow("unknown shell place") << "::{00000000-0000-0000-0000-000000000000}" << "" << true;
        QTest::newRow("entry with broken quoting") << "@/apps/bad.desktop" << "" << true;
        QTest::newRow("entry whose program is gone") << "@/apps/gone.desktop" << "" << true;
        QTest::newRow("entry of a folder") << "@/apps/dir.desktop" << "" << true;
        QTest::newRow("not an entry") << "@/apps/notentry.desktop" << "" << true;
        QTest::newRow("terminal program without terminal") << "@/apps/top.desktop" << "" << false;
    }
    void refuses()
    {
        QFETCH(QString, target);
        QFETCH(QString, workDir);
        QFETCH(bool, terminal);
        Fixture f;
        Launcher::Request r;
        r.target = QString(target).replace(QStringLiteral("@/"), f.root + QLatin1Char('/'));
        r.workDir = QString(workDir).replace(QStringLiteral("@/"), f.root + QLatin1Char('/'));
        const LaunchPlan plan = planLaunch(r, Fixture::tools(terminal));
        QVERIFY(!plan.ok);
        QVERIFY(!plan.error.isEmpty());
    }

    // The env that pkexec runs as root is the system's, whatever PATH holds.
    void runAsGoesThroughPkexecWithDisplay()
    {
        Fixture f;
        Launcher::Request r;
        r.verb = Launcher::Verb::RunAs;
        r.target = f.root + QStringLiteral("/bin/tool");
        r.arguments = QStringLiteral("--install DISPLAY=x");
        r.workDir = f.root + QStringLiteral("/doc");
        LaunchPlan plan = planLaunch(r, Fixture::tools());
        QVERIFY2(plan.ok, qPrintable(plan.error));
        QCOMPARE(plan.command.program, QStringLiteral("/usr/bin/pkexec"));
        QCOMPARE(plan.command.arguments,
                 (QStringList{"/usr/bin/env", "--chdir=" + f.root + "/doc", "DISPLAY=:7",
                              "XAUTHORITY=/run/user/1000/xauth", f.root + "/bin/tool", "--install", "DISPLAY=x"}));
        QVERIFY(plan.command.workDir.isEmpty());

        // A document is opened elevated by its opener; no folder, no --chdir.
        r.target = f.root + QStringLiteral("/doc/report.pdf");
        r.workDir.clear();
        LaunchTools t = Fixture::tools();
        t.environment.remove(QStringLiteral("XAUTHORITY"));
        t.environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
        t.homeDir = f.root + QStringLiteral("/home");
        QVERIFY(testsupport::writeFile(t.homeDir + QStringLiteral("/.Xauthority"), "cookie"));
        plan = planLaunch(r, t);
        QVERIFY2(plan.ok, qPrintable(plan.error));
        QCOMPARE(plan.command.arguments,
                 (QStringList{"/usr/bin/env", "DISPLAY=:7", "XAUTHORITY=" + t.homeDir + "/.Xauthority",
                              "WAYLAND_DISPLAY=wayland-0", "/usr/bin/xdg-open", f.root + "/doc/report.pdf"}));

        // Without pkexec nothing starts.
        t.findProgram = [](const QString& name) -> QString {
            return name == QLatin1String("pkexec") ? QString() : QStringLiteral("/usr/bin/") + name;
        };
        QVERIFY(!planLaunch(r, t).ok);
    }

    void splitArgumentsKeepsQuotedWords()
    {
        QCOMPARE(splitArguments(QStringLiteral(R"(-a "b c"  d)")), (QStringList{"-a", "b c", "d"}));
        QCOMPARE(splitArguments(QStringLiteral(R"(say """hi""")")), (QStringList{"say", "\"hi\""}));
        QVERIFY(splitArguments(QStringLiteral("   ")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLauncherPlan)
#include "test_launcherplan.moc"
