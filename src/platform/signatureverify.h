#pragma once

#include <QByteArray>

// Checks signatures made by the vendor's signing key.

// True only when `signature` is a valid ECDSA signature over the SHA-256 of
// `message` by the P-256 public key whose affine coordinates are `x` and `y`
// (32 bytes each, big-endian). The signature is the raw form: r followed by
// s, 32 bytes each, big-endian; any other length, a point that is not on the
// curve or a failure of the crypto library gives false.
bool verifyEcdsaP256Sha256(const QByteArray& x, const QByteArray& y, const QByteArray& message,
                           const QByteArray& signature);
