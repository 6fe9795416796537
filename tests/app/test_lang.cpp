#include "app/lang.h"
#include "app/translationtable.h"

#include "testsupport.h"

#include <QDirIterator>
#include <QtTest>

#include <memory>

namespace {

QStringList placeholders(const QString& text)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("%\\d+")).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured();
    found.sort();
    return found;
}

// The text of a C++ string literal body with its simple escapes resolved.
QString unescapeLiteral(const QString& body)
{
    QString out;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c != QLatin1Char('\\') || i + 1 == body.size()) {
            out += c;
            continue;
        }
        const QChar n = body.at(++i);
        if (n == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (n == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else
            out += n;  // \" \\ \'
    }
    return out;
}

} // namespace

class TestLang : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { setLanguage(0); }

    void setLanguageKeepsOnlyZeroOrOne_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("2") << 2 << 0;
        QTest::newRow("-1") << -1 << 0;
    }
    void setLanguageKeepsOnlyZeroOrOne()
    {
        QFETCH(int, value);
        QFETCH(int, stored);
        setLanguage(value);
        QCOMPARE(currentLanguage(), stored);
        QCOMPARE(isEnglish(), stored == 1);
    }

    void translate_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zh: table text") << 0 << "设置文件写入失败" << "设置文件写入失败";
        QTest::newRow("zh: drive") << 0 << "本地磁盘 (C:)" << "本地磁盘 (C:)";
        QTest::newRow("en: table text") << 1 << "设置文件写入失败" << "Failed to write the settings file";
        QTest::newRow("en: format string") << 1 << "欢迎你，%1" << "Welcome, %1";
        QTest::newRow("en: line break kept") << 1 << "日志文件: %1\n" << "Log file: %1\n";
        QTest::newRow("en: not in the table") << 1 << "没有这句话" << "没有这句话";
        QTest::newRow("en: empty") << 1 << "" << "";
        QTest::newRow("en: bare drive word") << 1 << "本地磁盘" << "Local Disk";
        QTest::newRow("en: drive") << 1 << "本地磁盘 (D:)" << "Local Disk (D:)";
        QTest::newRow("en: drive, no closing parenthesis") << 1 << "本地磁盘 (D:" << "本地磁盘 (D:";
        QTest::newRow("en: drive, no blank") << 1 << "本地磁盘(D:)" << "本地磁盘(D:)";
        QTest::newRow("en: drive template") << 1 << "本地磁盘 (%1:)" << "Local Disk (%1:)";
    }
    void translate()
    {
        QFETCH(int, language);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        setLanguage(language);
        QCOMPARE(::translate(text), expected);
        QCOMPARE(::translate(text.toUtf8().constData()), expected);
        QCOMPARE(::translate(reinterpret_cast<const char16_t*>(text.utf16())), expected);
    }

    void nullUtf16IsEmpty()
    {
        setLanguage(1);
        QVERIFY(::translate(static_cast<const char16_t*>(nullptr)).isEmpty());
    }

    void tableKeepsItsOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("137") << 137 << "欢迎你，%1" << "Welcome, %1";
        QTest::newRow("625") << 625 << "本地磁盘" << "Local Disk";
        QTest::newRow("723") << 723 << "保存失败：无法写入配置文件" << "Save failed: cannot write the configuration file";
        QTest::newRow("724") << 724 << "设置文件写入失败" << "Failed to write the settings file";
        QTest::newRow("725") << 725 << "分组布局写入失败" << "Failed to write the group layout";
        QTest::newRow("727") << 727 << "设置文件已损坏，已保留副本并使用默认值；可从「备份与恢复」还原最近快照"
                             << "The settings file was corrupted. A copy was preserved and defaults are in use; you can restore the latest snapshot from Backup & Restore.";
        QTest::newRow("728") << 728 << "布局文件已损坏，已保留副本并重建默认分组；可从「备份与恢复」还原最近快照"
                             << "The layout file was corrupted. A copy was preserved and default groups were rebuilt; you can restore the latest snapshot from Backup & Restore.";
        QTest::newRow("801") << 801 << "编辑快捷方式" << "Edit Shortcut";
        QTest::newRow("807") << 807 << "工作目录" << "Start in";
        QTest::newRow("first") << 0 << "报文不是 JSON 对象" << "Message is not a JSON object";
        QTest::newRow("812") << 812 << "提示：名称与图标用于面板内显示，不会改动磁盘上的原文件。"
                             << "Tip: the name and icon are only used in the panel and do not change the original file on disk.";
    }
    void tableKeepsItsOrder()
    {
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(translationTableSize() >= 813);
        QCOMPARE(QString::fromUtf8(translationTable()[index].key), key);
        QCOMPARE(QString::fromUtf8(translationTable()[index].value), value);
    }

    void everyPairIsComplete()
    {
        QSet<QString> keys;
        for (int i = 0; i < translationTableSize(); ++i) {
            const QString key = QString::fromUtf8(translationTable()[i].key);
            const QString value = QString::fromUtf8(translationTable()[i].value);
            const QByteArray where = QByteArray::number(i) + ": " + key.toUtf8();
            QVERIFY2(!key.isEmpty() && !value.trimmed().isEmpty(), where.constData());
            QVERIFY2(!keys.contains(key), QByteArray("repeated key " + where).constData());
            keys.insert(key);
            QVERIFY2(placeholders(key) == placeholders(value), QByteArray("placeholders differ " + where).constData());
            QVERIFY2(key.count(QLatin1Char('\n')) == value.count(QLatin1Char('\n')), QByteArray("line breaks differ " + where).constData());
        }
    }

    void repeatedKeyKeepsTheFirstPair()
    {
        const TranslationPair pairs[] = {{"一", "one"}, {"二", "two"}, {"一", "uno"}, {"", ""}};
        QTest::ignoreMessage(QtWarningMsg, "[lang] duplicate translation key at index 2 : \"一\"");
        const QHash<QString, QString> map = buildTranslationMap(pairs, 4);
        QCOMPARE(map.size(), 3);
        QCOMPARE(map.value(QStringLiteral("一")), QStringLiteral("one"));
        QCOMPARE(map.value(QStringLiteral("二")), QStringLiteral("two"));
    }

    void everyTranslatedLiteralInTheSourcesIsAKey()
    {
        const QString src = testsupport::sourceDir() + QStringLiteral("/src");
        if (!QFileInfo(src).isDir())
            QSKIP("QY_SOURCE_DIR not set");
        QSet<QString> keys;
        for (int i = 0; i < translationTableSize(); ++i)
            keys.insert(QString::fromUtf8(translationTable()[i].key));

        // translate("…"), translate(u"…"), translate(u8"…"), translate(QStringLiteral("…")).
        const QRegularExpression call(QStringLiteral(
            "\\btranslate\\(\\s*(?:QStringLiteral\\(\\s*|QString::fromUtf8\\(\\s*)?(?:u8|u)?\"((?:[^\"\\\\]|\\\\.)*)\""));
        QStringList unknown;
        int found = 0;
        QDirIterator it(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            QRegularExpressionMatchIterator m = call.globalMatch(text);
            while (m.hasNext()) {
                const QString key = unescapeLiteral(m.next().captured(1));
                ++found;
                if (!keys.contains(key))
                    unknown << QDir(src).relativeFilePath(file) + QStringLiteral(": ") + key;
            }
        }
        QVERIFY2(found > 0, "the scan found no translate() call at all");
        QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QLatin1Char('\n'))));
    }

    void languageChangedHandler()
    {
        int first = 0;
        int second = 0;
        auto token = std::make_shared<int>(0);
        setLanguageChangedHandler([&first, token] { ++first; });
        notifyLanguageChanged();
        QCOMPARE(first, 1);
        setLanguageChangedHandler([&second] { ++second; });
        QCOMPARE(token.use_count(), 1);  // the old handler is gone
        notifyLanguageChanged();
        QCOMPARE(first, 1);
        QCOMPARE(second, 1);
        setLanguageChangedHandler({});
        notifyLanguageChanged();
        QCOMPARE(second, 1);
    }

    // Qt's own texts (standard buttons, file dialogs) follow the interface
    // language, both ways.
    void qtTextsFollowTheLanguage()
    {
        const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
        setLanguage(0);
        notifyLanguageChanged();
        QCOMPARE(cancel(), QStringLiteral("取消"));
        setLanguage(1);
        notifyLanguageChanged();
        QCOMPARE(cancel(), QStringLiteral("Cancel"));
        setLanguage(0);
        notifyLanguageChanged();
        QCOMPARE(cancel(), QStringLiteral("取消"));
    }
};

QTEST_GUILESS_MAIN(TestLang)
#include "test_lang.moc"
