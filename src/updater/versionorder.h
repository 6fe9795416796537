#pragma once

#include <QString>

// The one version order of the updater and the market.

// True when `a` sorts strictly before `b`. Parts are split at "."; a missing
// part counts as "0"; each part's leading decimal digits are its number
// (capped at 2147483647); with equal numbers a part with a suffix ("3-beta")
// sorts before the plain part, and two suffixes compare piece by piece
// (pieces split at ".": integers by value and before words, words by text).
bool compareVersions(const QString& a, const QString& b);

// Whether the offered `remote` version is newer than `local`. Both must be
// well formed (1 to 8 parts, each starting with a digit, digits up to its
// end or up to a "-" after which anything may follow); otherwise false, so
// that a malformed offer is never installed.
bool isRemoteVersionNewer(const QString& remote, const QString& local);
