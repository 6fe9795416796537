#pragma once

#include <QByteArray>
#include <QString>

class SecretStore;

// The account state the panel keeps across starts, and "auth.json" that
// holds it with the token and the password sealed by the user's secret store.
struct AuthState {
    QString token;      // empty = signed out
    QString username;
    QString password;   // kept only when remember is on
    bool remember = false;
    bool autologin = false;
};

// "dpapi1:" + Base64 of the sealed token; empty for an empty token or when
// sealing fails (the token is then not stored).
QString protectToken(const QString& token, SecretStore& store);
// A text without the prefix (a hand-edited file) comes back unchanged; a box
// that does not open gives empty.
QString unprotectToken(const QString& text, SecretStore& store);
// "DPAPI:" + Base64 of the sealed password; empty for an empty password and
// when sealing fails: a password is never stored in a readable form.
QString protectPassword(const QString& password, SecretStore& store);
// Also reads the older unsealed form (four hex digits per UTF-16 unit, each
// XOR'd with a constant) that files written before may hold.
QString unprotectPassword(const QString& text, SecretStore& store);

// The fixed constant of that older form.
constexpr quint16 kPasswordFallbackKey = 0x5A3C;

struct AuthFileWrite {
    QByteArray bytes;
    // remember was on with a password, but it could not be sealed.
    bool passwordDropped = false;
};
// The file's bytes (an indented JSON object) for `state`.
AuthFileWrite authFileBytes(const AuthState& state, SecretStore& store);

enum class AuthLoad { Missing, BadJson, Loaded };
// Fills `state` from the file's bytes the way the panel loads them: username,
// remember and autologin are reset first; token and password are replaced
// only from a file that parses (the password only when remember is on).
AuthLoad applyAuthFile(const QByteArray& bytes, AuthState& state, SecretStore& store);
// Reads the file at `path` as the configuration files are read: a regular
// file only (a FIFO or a device there never blocks), of bounded size; what
// is not one (logged) counts as Missing, with username, remember and
// autologin reset.
AuthLoad loadAuthFile(const QString& path, AuthState& state, SecretStore& store);
