#include "updater/updatemanifest.h"

#include "platform/signatureverify.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

constexpr int kRawSignatureBytes = 64;
constexpr int kCoordinateBytes = 32;

QString textOf(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

qint64 sizeOf(const QJsonValue& v)
{
    if (v.isDouble())
        return v.toInteger();
    if (v.isString())
        return v.toString().trimmed().toLongLong();
    return 0;
}

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

QString& keyOverrideX()
{
    static QString x;
    return x;
}
QString& keyOverrideY()
{
    static QString y;
    return y;
}

} // namespace

UpdateManifest readUpdateManifest(const QJsonObject& o)
{
    UpdateManifest m;
    m.time = textOf(o, "time");
    m.url = textOf(o, "url");
    m.size = sizeOf(o.value(QLatin1String("size")));
    m.sha256 = textOf(o, "sha256");
    m.version = textOf(o, "version");
    m.sig = textOf(o, "sig");
    m.sigAlg = textOf(o, "sig_alg");
    m.notes = textOf(o, "notes");
    m.title = textOf(o, "title");
    return m;
}

QByteArray signedPayload(const UpdateManifest& m)
{
    const QChar bar = QLatin1Char('|');
    return (m.version + bar + m.sha256 + bar + QString::number(m.size) + bar + m.url + bar + m.time).toUtf8();
}

QByteArray hexToBytes(const QString& hex)
{
    QByteArray out;
    out.reserve(hex.size() / 2);
    for (int i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = hexValue(hex.at(i));
        const int lo = hexValue(hex.at(i + 1));
        if (hi < 0 || lo < 0)
            return QByteArray();
        out.append(char(hi * 16 + lo));
    }
    return out;
}

QString updatePublicKeyX()
{
    return keyOverrideX().isEmpty() ? QStringLiteral(QY_UPDATE_KEY_X) : keyOverrideX();
}

QString updatePublicKeyY()
{
    return keyOverrideY().isEmpty() ? QStringLiteral(QY_UPDATE_KEY_Y) : keyOverrideY();
}

void setUpdatePublicKeyOverride(const QString& xHex, const QString& yHex)
{
    keyOverrideX() = xHex;
    keyOverrideY() = yHex;
}

bool isManifestSignatureValid(const UpdateManifest& m)
{
    // The fields are joined with "|" as they are: with a "|" inside one, the
    // same signed text could be split into other fields. No real manifest
    // has one (a hash, a version, a time, an address that would encode it).
    for (const QString* field : {&m.version, &m.sha256, &m.url, &m.time}) {
        if (field->contains(QLatin1Char('|')))
            return false;
    }
    const QByteArray sig = QByteArray::fromBase64(m.sig.toLatin1());
    if (sig.size() != kRawSignatureBytes)
        return false;
    if (m.sigAlg.compare(QLatin1String("ES256"), Qt::CaseInsensitive) != 0)
        return false;
    const QByteArray x = hexToBytes(updatePublicKeyX());
    const QByteArray y = hexToBytes(updatePublicKeyY());
    if (x.size() != kCoordinateBytes || y.size() != kCoordinateBytes)
        return false;
    return verifyEcdsaP256Sha256(x, y, signedPayload(m), sig);
}

bool historyNotesFor(const QByteArray& body, const QString& version, QString* notes, QString* parseError)
{
    notes->clear();
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray()) {
        // A valid document of another kind keeps the parser's "no error".
        *parseError = err.errorString();
        return false;
    }
    const QJsonArray entries = doc.array();
    for (const QJsonValue& v : entries) {
        const QJsonObject e = v.toObject();
        const QJsonValue ver = e.value(QLatin1String("version"));
        if (!ver.isString() || ver.toString() != version)
            continue;
        // Only the first entry of a version counts, even without notes.
        const QJsonValue n = e.value(QLatin1String("notes"));
        if (n.isString())
            *notes = n.toString().trimmed();
        break;
    }
    return true;
}
