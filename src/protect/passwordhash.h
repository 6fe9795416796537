#pragma once

#include <QString>

// The protection password is kept only as one text made here, in
// "protectPasswordHash"; an empty text means no password is set. The
// functions hold no state and may run on any thread: a check with 100,000
// PBKDF2 rounds takes long enough that callers run it off the GUI thread.

// "pbkdf2$<iterations>$<salt hex>$<key hex>" with 100,000 rounds of
// PBKDF2-HMAC-SHA-256, a fresh 16-byte salt and a 32-byte key.
QString hashPassword(const QString& password);

// True only when the password matches the stored text, in the current form
// or the older "<salt>$<sha256 hex of salt+password>" form. A malformed text
// or an iteration count outside 1..5,000,000 is refused before any key is
// derived.
bool verifyPassword(const QString& stored, const QString& password);

// True for texts not in the current form; the caller that has just verified
// a password replaces such a text with hashPassword() of it.
bool passwordNeedsRehash(const QString& stored);

namespace passwordhash {
constexpr int kNewIterations = 100000;
constexpr int kMaxIterations = 5000000;
} // namespace passwordhash
