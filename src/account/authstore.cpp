#include "account/authstore.h"

#include "app/configsafety.h"
#include "app/jsonutil.h"
#include "platform/regularfile.h"
#include "platform/secretstore.h"

#include <QDebug>

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kTokenPrefix = QStringLiteral("dpapi1:");
const QString kPasswordPrefix = QStringLiteral("DPAPI:");
const QString kTokenPurpose = QStringLiteral("TarnavelPanelToken");
const QString kPasswordPurpose = QStringLiteral("TarnavelPanel");

QString seal(const QString& text, const QString& purpose, const QString& prefix, SecretStore& store)
{
    QByteArray box;
    if (!store.protect(text.toUtf8(), purpose, &box))
        return QString();
    return prefix + QString::fromLatin1(box.toBase64());
}

QString open(const QString& text, const QString& purpose, const QString& prefix, SecretStore& store)
{
    const QByteArray box = QByteArray::fromBase64(text.mid(prefix.size()).toLatin1());
    QByteArray plain;
    if (box.isEmpty() || !store.unprotect(box, purpose, &plain))
        return QString();
    return QString::fromUtf8(plain);
}

// Strict: toUInt would also take signs, spaces and a "0x" prefix.
int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

QString protectToken(const QString& token, SecretStore& store)
{
    return token.isEmpty() ? QString() : seal(token, kTokenPurpose, kTokenPrefix, store);
}

QString unprotectToken(const QString& text, SecretStore& store)
{
    if (text.isEmpty())
        return QString();
    if (!text.startsWith(kTokenPrefix))
        return text;
    return open(text, kTokenPurpose, kTokenPrefix, store);
}

QString protectPassword(const QString& password, SecretStore& store)
{
    return password.isEmpty() ? QString() : seal(password, kPasswordPurpose, kPasswordPrefix, store);
}

QString unprotectPassword(const QString& text, SecretStore& store)
{
    if (text.startsWith(kPasswordPrefix))
        return open(text, kPasswordPurpose, kPasswordPrefix, store);
    if (text.size() < 4)
        return QString();
    QString out;
    for (int i = 0; i + 4 <= text.size(); i += 4) {
        uint unit = 0;
        for (int j = i; j < i + 4; ++j) {
            const int digit = hexValue(text.at(j));
            if (digit < 0)
                return QString();
            unit = unit * 16 + uint(digit);
        }
        out.append(QChar(ushort(unit ^ kPasswordFallbackKey)));
    }
    return out;
}

AuthFileWrite authFileBytes(const AuthState& state, SecretStore& store)
{
    AuthFileWrite w;
    QString pass;
    if (state.remember && !state.password.isEmpty()) {
        pass = protectPassword(state.password, store);
        w.passwordDropped = pass.isEmpty();
    }
    QJsonObject o;
    o.insert(QStringLiteral("token"), protectToken(state.token, store));
    o.insert(QStringLiteral("username"), state.username);
    o.insert(QStringLiteral("remember"), state.remember);
    o.insert(QStringLiteral("autologin"), state.autologin);
    o.insert(QStringLiteral("pass"), pass);
    w.bytes = QJsonDocument(o).toJson(QJsonDocument::Indented);
    return w;
}

AuthLoad applyAuthFile(const QByteArray& bytes, AuthState& state, SecretStore& store)
{
    state.username.clear();
    state.remember = false;
    state.autologin = false;
    QJsonObject o;
    if (!parseJsonObject(bytes, o))
        return AuthLoad::BadJson;
    state.token = unprotectToken(o.value(QStringLiteral("token")).toString(), store);
    state.username = o.value(QStringLiteral("username")).toString();
    state.remember = o.value(QStringLiteral("remember")).toBool(false);
    state.autologin = o.value(QStringLiteral("autologin")).toBool(false);
    if (state.remember)
        state.password = unprotectPassword(o.value(QStringLiteral("pass")).toString(), store);
    return AuthLoad::Loaded;
}

AuthLoad loadAuthFile(const QString& path, AuthState& state, SecretStore& store)
{
    const RegularFileRead file = readRegularFile(path, kMaxConfigFileBytes);
    if (file.status != RegularFileRead::Ok) {
        if (file.status != RegularFileRead::Missing)
            qWarning().noquote() << "auth file not read:" << path << "-" << file.error;
        state.username.clear();
        state.remember = false;
        state.autologin = false;
        return AuthLoad::Missing;
    }
    return applyAuthFile(file.bytes, state, store);
}
