#include "protect/passwordhash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator64>
#include <QStringList>

namespace {

constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

// Every byte is looked at whatever the earlier ones held, so the time taken
// says nothing about how much of a guess was right.
bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    return diff == 0;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// QByteArray::fromHex skips characters it does not know, which would let a
// damaged text decode to a shorter salt or key; any stray character here
// makes the whole field unreadable instead.
bool decodeHex(const QString& text, QByteArray& out)
{
    out.clear();
    if (text.isEmpty() || text.size() % 2 != 0)
        return false;
    out.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) {
            out.clear();
            return false;
        }
        out.append(static_cast<char>((hi << 4) | lo));
    }
    return true;
}

// Digits only: a sign, blanks or an exponent are not a count we wrote.
bool parseIterations(const QString& text, int& out)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < 1 || value > passwordhash::kMaxIterations)
        return false;
    out = static_cast<int>(value);
    return true;
}

QByteArray pbkdf2(const QString& password, const QByteArray& salt, int iterations, int keyBytes)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, static_cast<quint64>(keyBytes));
}

} // namespace

QString hashPassword(const QString& password)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    auto* rng = QRandomGenerator64::system();
    for (int i = 0; i < kSaltBytes; ++i)
        salt[i] = static_cast<char>(rng->generate() >> 24);
    const QByteArray key = pbkdf2(password, salt, passwordhash::kNewIterations, kKeyBytes);
    return QStringLiteral("pbkdf2$%1$%2$%3")
        .arg(passwordhash::kNewIterations)
        .arg(QString::fromLatin1(salt.toHex()), QString::fromLatin1(key.toHex()));
}

bool verifyPassword(const QString& stored, const QString& password)
{
    if (stored.isEmpty())
        return false;
    const QStringList fields = stored.split(QLatin1Char('$'), Qt::KeepEmptyParts);
    if (fields.size() == 2) {
        const QByteArray digest =
            QCryptographicHash::hash((fields[0] + password).toUtf8(), QCryptographicHash::Sha256).toHex();
        return sameBytes(digest, fields[1].toLatin1());
    }
    if (fields.size() != 4 || fields[0] != QLatin1String("pbkdf2"))
        return false;
    int iterations = 0;
    QByteArray salt;
    QByteArray expected;
    if (!parseIterations(fields[1], iterations) || !decodeHex(fields[2], salt) || !decodeHex(fields[3], expected))
        return false;
    return sameBytes(pbkdf2(password, salt, iterations, static_cast<int>(expected.size())), expected);
}

bool passwordNeedsRehash(const QString& stored)
{
    return !stored.startsWith(QLatin1String("pbkdf2$"));
}
