#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Seals small secrets (the session token, a remembered password) so that the
// bytes on disk are useless without a key that lives elsewhere. A box made by
// one user's store opens only with that user's store.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    // Seals `plain`; `purpose` is bound into the box, so a box made for one
    // purpose does not open for another. Returns false (and leaves `box`
    // empty) when no key is available or sealing fails.
    virtual bool protect(const QByteArray& plain, const QString& purpose, QByteArray* box) = 0;

    // Opens a box made by protect() with the same purpose. Returns false for
    // a box that is damaged, was made with another key or purpose, or when
    // the key is missing or damaged; never throws.
    virtual bool unprotect(const QByteArray& box, const QString& purpose, QByteArray* plain) = 0;
};

// AES-256-GCM with one random 32-byte key per user in a key file of mode
// 0600 inside a folder of mode 0700. The key is made on the first protect()
// when the file is missing; unprotect() never makes one.
class FileKeySecretStore : public SecretStore
{
public:
    explicit FileKeySecretStore(const QString& keyFilePath);
    bool protect(const QByteArray& plain, const QString& purpose, QByteArray* box) override;
    bool unprotect(const QByteArray& box, const QString& purpose, QByteArray* plain) override;
    QString keyFilePath() const { return keyPath; }

private:
    enum class KeyUse { Open, Seal };
    bool loadKey(KeyUse use, QByteArray* key);
    QString keyPath;
};

// "$XDG_CONFIG_HOME/Tarnavel/TarnavelPanel/secret.key": outside the data
// root, so that snapshots and exports of the data never carry the key.
QString defaultSecretKeyPath();

// The store of this user, made on first use.
SecretStore& userSecretStore();
