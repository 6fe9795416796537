// The sealed sign-in: the user's secret store and "auth.json".
#include "account/authstore.h"
#include "platform/secretstore.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

// A store whose key is gone: every seal fails, as when the key folder
// cannot be made.
class BrokenStore : public SecretStore {
public:
    bool protect(const QByteArray&, const QString&, QByteArray* box) override
    {
        box->clear();
        return false;
    }
    bool unprotect(const QByteArray&, const QString&, QByteArray* plain) override
    {
        plain->clear();
        return false;
    }
};

QString fallbackForm(const QString& password)
{
    QString out;
    for (QChar c : password)
        out += QStringLiteral("%1").arg(c.unicode() ^ kPasswordFallbackKey, 4, 16, QLatin1Char('0')).toUpper();
    return out;
}

} // namespace

class TestAuthStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString keyPath() const { return dir.filePath(QStringLiteral("cfg/Tarnavel/TarnavelPanel/secret.key")); }

private Q_SLOTS:
    void init()
    {
        QDir(dir.filePath(QStringLiteral("cfg"))).removeRecursively();
    }

    void keyFileIsPrivateAndOutsideTheBox()
    {
        FileKeySecretStore store(keyPath());
        QByteArray box;
        QVERIFY(store.protect("s3cret-token", QStringLiteral("p"), &box));
        QCOMPARE(modeOf(keyPath()), 0600);
        QCOMPARE(modeOf(QFileInfo(keyPath()).absolutePath()), 0700);
        QCOMPARE(QFileInfo(keyPath()).size(), 32);
        QVERIFY(!box.contains("s3cret-token"));
        QByteArray plain;
        QVERIFY(store.unprotect(box, QStringLiteral("p"), &plain));
        QCOMPARE(plain, QByteArray("s3cret-token"));
        // Bound to its purpose, and every box is sealed afresh.
        QVERIFY(!store.unprotect(box, QStringLiteral("other"), &plain));
        QByteArray again;
        QVERIFY(store.protect("s3cret-token", QStringLiteral("p"), &again));
        QVERIFY(again != box);
    }

    void looseKeyFileIsTightened()
    {
        FileKeySecretStore store(keyPath());
        QByteArray box;
        QVERIFY(store.protect("x", QStringLiteral("p"), &box));
        QVERIFY(::chmod(QFile::encodeName(keyPath()).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(QFileInfo(keyPath()).absolutePath()).constData(), 0755) == 0);
        QByteArray plain;
        QVERIFY(store.unprotect(box, QStringLiteral("p"), &plain));
        QCOMPARE(modeOf(keyPath()), 0600);
        QCOMPARE(modeOf(QFileInfo(keyPath()).absolutePath()), 0700);
    }

    // A damaged key or box means "cannot open", never a crash or garbage.
    void damage_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("key truncated") << QStringLiteral("key-short");
        QTest::newRow("key replaced") << QStringLiteral("key-other");
        QTest::newRow("key removed") << QStringLiteral("key-gone");
        QTest::newRow("box bit flipped") << QStringLiteral("box-flip");
        QTest::newRow("box truncated") << QStringLiteral("box-cut");
        QTest::newRow("box empty") << QStringLiteral("box-empty");
        QTest::newRow("box of another version") << QStringLiteral("box-version");
    }
    void damage()
    {
        QFETCH(QString, what);
        FileKeySecretStore store(keyPath());
        QByteArray box;
        QVERIFY(store.protect("token-value", QStringLiteral("p"), &box));
        if (what == QLatin1String("key-short"))
            QVERIFY(writeFile(keyPath(), QByteArray(31, 'k')));
        else if (what == QLatin1String("key-other"))
            QVERIFY(writeFile(keyPath(), QByteArray(32, 'k')));
        else if (what == QLatin1String("key-gone"))
            QVERIFY(QFile::remove(keyPath()));
        else if (what == QLatin1String("box-flip"))
            box[box.size() / 2] = char(box.at(box.size() / 2) ^ 0x01);
        else if (what == QLatin1String("box-cut"))
            box.chop(1);
        else if (what == QLatin1String("box-empty"))
            box.clear();
        else if (what == QLatin1String("box-version"))
            box[0] = 9;
        QByteArray plain("left over");
        QVERIFY(!store.unprotect(box, QStringLiteral("p"), &plain));
        QVERIFY(plain.isEmpty());
        // Opening never makes or replaces a key.
        if (what == QLatin1String("key-gone"))
            QVERIFY(!QFile::exists(keyPath()));
        // Sealing again works: a damaged key is set aside and a new one made.
        QByteArray fresh;
        QVERIFY(store.protect("again", QStringLiteral("p"), &fresh));
        QVERIFY(store.unprotect(fresh, QStringLiteral("p"), &plain));
        QCOMPARE(plain, QByteArray("again"));
    }

    void authFileHoldsNoSecretInClear()
    {
        FileKeySecretStore store(keyPath());
        AuthState s{QStringLiteral("tok-123456"), QStringLiteral("ada"), QStringLiteral("pässwörd"), true, true};
        const AuthFileWrite w = authFileBytes(s, store);
        QVERIFY(!w.passwordDropped);
        QVERIFY(!w.bytes.contains("tok-123456"));
        QVERIFY(!w.bytes.contains(QStringLiteral("pässwörd").toUtf8()));
        const QJsonObject o = QJsonDocument::fromJson(w.bytes).object();
        QCOMPARE(o.keys(), (QStringList{QStringLiteral("autologin"), QStringLiteral("pass"), QStringLiteral("remember"),
                                        QStringLiteral("token"), QStringLiteral("username")}));
        QVERIFY(o.value(QStringLiteral("token")).toString().startsWith(QStringLiteral("dpapi1:")));
        QVERIFY(o.value(QStringLiteral("pass")).toString().startsWith(QStringLiteral("DPAPI:")));

        AuthState back;
        QCOMPARE(applyAuthFile(w.bytes, back, store), AuthLoad::Loaded);
        QCOMPARE(back.token, s.token);
        QCOMPARE(back.username, s.username);
        QCOMPARE(back.password, s.password);
        QVERIFY(back.remember && back.autologin);
    }

    void rememberOffStoresNoPassword()
    {
        FileKeySecretStore store(keyPath());
        AuthState s{QString(), QStringLiteral("ada"), QStringLiteral("pw"), false, false};
        const QJsonObject o = QJsonDocument::fromJson(authFileBytes(s, store).bytes).object();
        QCOMPARE(o.value(QStringLiteral("pass")).toString(), QString());
        QCOMPARE(o.value(QStringLiteral("token")).toString(), QString());
        // A file with remember off never yields a password, whatever "pass" holds.
        QJsonObject edited = o;
        edited.insert(QStringLiteral("pass"), protectPassword(QStringLiteral("pw"), store));
        AuthState back;
        applyAuthFile(QJsonDocument(edited).toJson(), back, store);
        QCOMPARE(back.password, QString());
    }

    // Sealing failed: the older readable form is never written; the caller
    // learns the password was dropped.
    void unsealablePasswordIsDropped()
    {
        BrokenStore broken;
        AuthState s{QStringLiteral("tok"), QStringLiteral("ada"), QStringLiteral("pw-long"), true, true};
        const AuthFileWrite w = authFileBytes(s, broken);
        QVERIFY(w.passwordDropped);
        const QJsonObject o = QJsonDocument::fromJson(w.bytes).object();
        QCOMPARE(o.value(QStringLiteral("pass")).toString(), QString());
        QCOMPARE(o.value(QStringLiteral("token")).toString(), QString());
        QVERIFY(!w.bytes.contains(fallbackForm(QStringLiteral("pw-long")).toLatin1()));
    }

    void storedForms_data()
    {
        QTest::addColumn<QString>("pass");
        QTest::addColumn<QString>("password");
        QTest::newRow("older form") << fallbackForm(QStringLiteral("ab")) << QStringLiteral("ab");
        QTest::newRow("older form, lower case") << fallbackForm(QStringLiteral("ab")).toLower() << QStringLiteral("ab");
        QTest::newRow("10 characters read as two") << fallbackForm(QStringLiteral("ab")) + QStringLiteral("12")
                                                   << QStringLiteral("ab");
        QTest::newRow("second group not hex") << fallbackForm(QStringLiteral("a")) + QStringLiteral("12G4")
                                              << QString();
        QTest::newRow("sign in a group") << QStringLiteral("+123") << QString();
        QTest::newRow("shorter than a group") << QStringLiteral("abc") << QString();
        QTest::newRow("sealed prefix, nothing after") << QStringLiteral("DPAPI:") << QString();
        QTest::newRow("sealed prefix, garbage") << QStringLiteral("DPAPI:AAAA") << QString();
    }
    void storedForms()
    {
        QFETCH(QString, pass);
        QFETCH(QString, password);
        FileKeySecretStore store(keyPath());
        QCOMPARE(unprotectPassword(pass, store), password);
    }

    void tokenForms()
    {
        FileKeySecretStore store(keyPath());
        QCOMPARE(unprotectToken(QStringLiteral("hand-edited"), store), QStringLiteral("hand-edited"));
        QCOMPARE(unprotectToken(QStringLiteral("dpapi1:"), store), QString());
        QCOMPARE(unprotectToken(QStringLiteral("dpapi1:Zm9v"), store), QString());
        QCOMPARE(protectToken(QString(), store), QString());
        QVERIFY(!QFile::exists(keyPath()));  // an empty token never reaches the store
    }

    void loadResetsButKeepsTokenOnBadJson()
    {
        FileKeySecretStore store(keyPath());
        AuthState s{QStringLiteral("tok"), QStringLiteral("ada"), QStringLiteral("pw"), true, true};
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed")));
        QCOMPARE(applyAuthFile("{not json", s, store), AuthLoad::BadJson);
        QCOMPARE(s.username, QString());
        QVERIFY(!s.remember && !s.autologin);
        QCOMPARE(s.token, QStringLiteral("tok"));
    }
};

QTEST_GUILESS_MAIN(TestAuthStore)
#include "test_authstore.moc"
