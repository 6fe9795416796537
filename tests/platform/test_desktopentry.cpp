#include "platform/desktopentry.h"

#include <QtTest>

class TestDesktopEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitExec_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("argv");
        QTest::newRow("plain") << "firefox --new-window" << QStringList{"firefox", "--new-window"};
        QTest::newRow("file code alone is dropped") << "gedit %U" << QStringList{"gedit"};
        QTest::newRow("every code dropped") << "app %f %F %u %U %i %c %k %d %D %n %N %v %m -x"
                                            << QStringList{"app", "-x"};
        QTest::newRow("code inside a word") << "app --file=%f" << QStringList{"app", "--file="};
        QTest::newRow("percent kept") << "printf 100%%" << QStringList{"printf", "100%"};
        QTest::newRow("quoted blanks") << "\"/opt/My App/run\" \"a b\"" << QStringList{"/opt/My App/run", "a b"};
        // sh "say \"hi\" \$HOME \`x\` \\"
        QTest::newRow("escapes in quotes") << "sh \"say \\\"hi\\\" \\$HOME \\`x\\` \\\\\""
                                           << QStringList{"sh", "say \"hi\" $HOME `x` \\"};
        QTest::newRow("quoted empty word kept") << "app \"\"" << QStringList{"app", ""};
        QTest::newRow("percent in quotes") << "\"a 100%%\"" << QStringList{"a 100%"};
        QTest::newRow("code in quotes is literal") << "app \"%f\"" << QStringList{"app", "%f"};
        QTest::newRow("extra blanks") << "  app   -a\t-b  " << QStringList{"app", "-a", "-b"};
        QTest::newRow("shell words are not special") << "app ; rm -rf ~ | x"
                                                     << QStringList{"app", ";", "rm", "-rf", "~", "|", "x"};
    }
    void splitExec()
    {
        QFETCH(QString, exec);
        QStringList argv;
        QString error;
        QVERIFY2(splitDesktopExec(exec, &argv, &error), qPrintable(error));
        QTEST(argv, "argv");
    }

    void splitExecRejects_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::newRow("empty") << "";
        QTest::newRow("only codes") << "%U %f";
        QTest::newRow("unterminated quote") << "app \"half";
        QTest::newRow("unknown field code") << "app %z";
        QTest::newRow("lone percent at the end") << "app %";
    }
    void splitExecRejects()
    {
        QFETCH(QString, exec);
        QStringList argv{"stale"};
        QString error;
        QVERIFY(!splitDesktopExec(exec, &argv, &error));
        QVERIFY(argv.isEmpty());
        QVERIFY(!error.isEmpty());
    }

    void parseMainGroup()
    {
        const QByteArray bytes = "# comment\n"
                                 "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Editor\n"
                                 "Name[de]=Bearbeiter\n"
                                 "Exec=\"/opt/x y/ed\" --dir\\s%f\n"
                                 "Path=/srv/work\n"
                                 "Terminal=true\n"
                                 "\n"
                                 "[Desktop Action New]\n"
                                 "Exec=other\n";
        const DesktopEntry e = parseDesktopEntry(bytes);
        QVERIFY(e.valid);
        QCOMPARE(e.type, QStringLiteral("Application"));
        QCOMPARE(e.name, QStringLiteral("Editor"));
        QCOMPARE(e.exec, QStringLiteral("\"/opt/x y/ed\" --dir %f"));
        QCOMPARE(e.path, QStringLiteral("/srv/work"));
        QVERIFY(e.terminal);

        const DesktopEntry link = parseDesktopEntry("[Desktop Entry]\r\nType=Link\r\nURL=https://example.org/\r\n");
        QCOMPARE(link.type, QStringLiteral("Link"));
        QCOMPARE(link.url, QStringLiteral("https://example.org/"));
        QVERIFY(!link.terminal);

        QVERIFY(!parseDesktopEntry("[Other]\nExec=x\n").valid);
        QVERIFY(!parseDesktopEntry(QByteArray("\x00\xff\xfe", 3)).valid);
    }

    void quotedWordsSplitBack_data()
    {
        QTest::addColumn<QString>("word");
        for (const char* w : {"/usr/bin/app", "/opt/My App/run", "a\"b`c$d\\e", "100%", "semi;colon", "tab\there"})
            QTest::newRow(w) << QString::fromUtf8(w);
    }
    void quotedWordsSplitBack()
    {
        QFETCH(QString, word);
        // Through the file form: the value escapes, then the Exec quoting.
        const QByteArray file = setDesktopEntryKeys(QByteArray(), {{"Exec", quoteExecWord(word) + " --x"}});
        const DesktopEntry e = parseDesktopEntry(file);
        QStringList argv;
        QString error;
        QVERIFY2(splitDesktopExec(e.exec, &argv, &error), qPrintable(error));
        QCOMPARE(argv, (QStringList{word, QStringLiteral("--x")}));
        QString program, rest;
        splitExecProgram(e.exec, &program, &rest);
        QCOMPARE(program, word);
        QCOMPARE(rest, QStringLiteral("--x"));
    }

    void setKeysKeepsEverythingElse()
    {
        const QByteArray before = "# a comment\r\n[Desktop Entry]\r\nName=Editor\r\nName[de]=Bearbeiter\r\n"
                                  "Exec=old --flag\r\n# inside\r\nIcon=old\r\n\r\n[Desktop Action new]\r\n"
                                  "Exec=other\r\nName=New\r\n";
        const QByteArray after = setDesktopEntryKeys(
            before, {{"Exec", QStringLiteral("new")}, {"Icon", QString()}, {"Path", QStringLiteral("/w d")}});
        QCOMPARE(after, QByteArray("# a comment\r\n[Desktop Entry]\r\nName=Editor\r\nName[de]=Bearbeiter\r\n"
                                   "Exec=new\r\n# inside\r\nPath=/w d\r\n\r\n[Desktop Action new]\r\n"
                                   "Exec=other\r\nName=New\r\n"));
        // Nothing asked: nothing changes.
        QCOMPARE(setDesktopEntryKeys(before, {}), before);
        // No group yet: one is made.
        const DesktopEntry e = parseDesktopEntry(setDesktopEntryKeys(QByteArray(), {{"Name", QStringLiteral(" x\\y")}}));
        QVERIFY(e.valid);
        QCOMPARE(e.name, QStringLiteral(" x\\y"));
    }
};

QTEST_APPLESS_MAIN(TestDesktopEntry)
#include "test_desktopentry.moc"
