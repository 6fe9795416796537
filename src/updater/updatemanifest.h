#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The update manifest of a channel: what it offers and the signature over
// five of its fields by the vendor's key.
struct UpdateManifest {
    QString time;
    QString url;
    qint64 size = 0;
    QString sha256;
    QString version;
    QString sig;
    QString sigAlg;
    QString notes;
    QString title;
};

// Reads the manifest keys of `o`; a missing key or one of another JSON type
// reads as empty text. "size" may be a number or text holding a number
// (missing or unreadable: 0).
UpdateManifest readUpdateManifest(const QJsonObject& o);

// The signed text: version|sha256|size|url|time, UTF-8.
QByteArray signedPayload(const UpdateManifest& m);

// Two hexadecimal digits per byte; any pair that is not hexadecimal empties
// the whole result; a trailing odd digit is ignored.
QByteArray hexToBytes(const QString& hex);

// True when the manifest carries an "ES256" signature (letter case ignored)
// of exactly 64 bytes, r then s, that the built-in public key verifies over
// the signed text, and no signed field holds a "|".
bool isManifestSignatureValid(const UpdateManifest& m);

// The public key's coordinates as 64 hexadecimal digits each: the override
// when one is set, else the values this build was configured with.
QString updatePublicKeyX();
QString updatePublicKeyY();
// Replaces the built-in public key (tests); two empty texts restore it.
void setUpdatePublicKeyOverride(const QString& xHex, const QString& yHex);

// The release notes for `version` in a history body (a JSON array of
// objects with "version" and "notes"): in `notes` the trimmed notes of the
// first entry whose version matches exactly, empty when that entry has none
// or no entry matches. False, with the parser's error text in `parseError`,
// when the body is no JSON array.
bool historyNotesFor(const QByteArray& body, const QString& version, QString* notes, QString* parseError);
