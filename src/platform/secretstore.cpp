#include "platform/secretstore.h"

#include "platform/libcrypto.h"
#include "platform/privatefolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kKeyBytes = 32;
constexpr int kNonceBytes = 12;
constexpr int kTagBytes = 16;
constexpr char kBoxVersion = 1;

struct CipherCtx {
    explicit CipherCtx(const LibCrypto& c) : crypto(c), ctx(c.EVP_CIPHER_CTX_new()) {}
    ~CipherCtx() { crypto.EVP_CIPHER_CTX_free(ctx); }
    CipherCtx(const CipherCtx&) = delete;
    CipherCtx& operator=(const CipherCtx&) = delete;
    const LibCrypto& crypto;
    EVP_CIPHER_CTX* const ctx;
};

// Reads the key through a descriptor that refuses links and checks that the
// file belongs to this user; a key others could read is tightened, one of
// another user is not trusted.
bool readKeyFile(const QString& path, QByteArray* key, bool* missing)
{
    *missing = false;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *missing = errno == ENOENT;
        if (!*missing)
            qWarning() << "secret key: cannot open" << path << std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid();
    if (ok && (st.st_mode & 077) != 0)
        ::fchmod(fd, 0600);
    char buf[kKeyBytes + 1];
    ssize_t got = 0;
    if (ok) {
        ssize_t n;
        while (got < ssize_t(sizeof buf) && (n = ::read(fd, buf + got, sizeof buf - size_t(got))) > 0)
            got += n;
    }
    ::close(fd);
    if (!ok || got != kKeyBytes) {
        qWarning() << "secret key: damaged or foreign key file" << path;
        return false;
    }
    *key = QByteArray(buf, kKeyBytes);
    return true;
}

// Writes a new key: a temporary of mode 0600 in the same folder, synced and
// renamed over the old name, so that a crash leaves either no key or a whole
// one.
bool writeKeyFile(const QString& path, const QByteArray& key)
{
    const QByteArray tmp = QFile::encodeName(path + QStringLiteral(".new"));
    ::unlink(tmp.constData());
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning() << "secret key: cannot create" << path << std::strerror(errno);
        return false;
    }
    bool ok = ::write(fd, key.constData(), size_t(key.size())) == key.size() && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tmp.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        qWarning() << "secret key: cannot write" << path << std::strerror(errno);
        ::unlink(tmp.constData());
    }
    return ok;
}

} // namespace

FileKeySecretStore::FileKeySecretStore(const QString& keyFilePath)
    : keyPath(keyFilePath)
{
}

bool FileKeySecretStore::loadKey(KeyUse use, QByteArray* key)
{
    const QString folder = QFileInfo(keyPath).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QString error;
    if (!ensurePrivateFolder(folder, &error)) {
        qWarning() << "secret key: folder not private:" << error;
        return false;
    }
    bool missing = false;
    if (readKeyFile(keyPath, key, &missing))
        return true;
    if (use == KeyUse::Open)
        return false;
    if (!missing) {
        // Boxes sealed with a damaged key cannot be opened by anyone, so a
        // fresh key loses nothing; the old file is kept for inspection.
        const QString aside = keyPath + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (!QFile::rename(keyPath, aside))
            return false;
    }
    const LibCrypto* crypto = libCrypto();
    QByteArray fresh(kKeyBytes, '\0');
    if (!crypto || crypto->RAND_bytes(reinterpret_cast<unsigned char*>(fresh.data()), kKeyBytes) != 1)
        return false;
    if (!writeKeyFile(keyPath, fresh))
        return false;
    *key = fresh;
    return true;
}

bool FileKeySecretStore::protect(const QByteArray& plain, const QString& purpose, QByteArray* box)
{
    box->clear();
    const LibCrypto* crypto = libCrypto();
    if (!crypto)
        return false;
    QByteArray key;
    if (!loadKey(KeyUse::Seal, &key))
        return false;
    const QByteArray aad = purpose.toUtf8();
    QByteArray out(1 + kNonceBytes + plain.size() + kTagBytes, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    bytes[0] = kBoxVersion;
    unsigned char* nonce = bytes + 1;
    unsigned char* cipher = nonce + kNonceBytes;
    if (crypto->RAND_bytes(nonce, kNonceBytes) != 1)
        return false;
    CipherCtx c(*crypto);
    int len = 0;
    int total = 0;
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    bool ok = c.ctx && crypto->EVP_EncryptInit_ex(c.ctx, crypto->EVP_aes_256_gcm(), nullptr, k, nonce) == 1
              && crypto->EVP_EncryptUpdate(c.ctx, nullptr, &len, reinterpret_cast<const unsigned char*>(aad.constData()),
                                   int(aad.size()))
                     == 1
              && crypto->EVP_EncryptUpdate(c.ctx, cipher, &len, reinterpret_cast<const unsigned char*>(plain.constData()),
                                   int(plain.size()))
                     == 1;
    total = len;
    ok = ok && crypto->EVP_EncryptFinal_ex(c.ctx, cipher + total, &len) == 1;
    total += len;
    ok = ok && total == plain.size()
         && crypto->EVP_CIPHER_CTX_ctrl(c.ctx, EVP_CTRL_GCM_GET_TAG, kTagBytes, cipher + total) == 1;
    if (!ok)
        return false;
    *box = out;
    return true;
}

bool FileKeySecretStore::unprotect(const QByteArray& box, const QString& purpose, QByteArray* plain)
{
    plain->clear();
    if (box.size() < 1 + kNonceBytes + kTagBytes || box.at(0) != kBoxVersion)
        return false;
    const LibCrypto* crypto = libCrypto();
    if (!crypto)
        return false;
    QByteArray key;
    if (!loadKey(KeyUse::Open, &key))
        return false;
    const QByteArray aad = purpose.toUtf8();
    const auto* bytes = reinterpret_cast<const unsigned char*>(box.constData());
    const unsigned char* nonce = bytes + 1;
    const unsigned char* cipher = nonce + kNonceBytes;
    const int cipherLen = int(box.size()) - 1 - kNonceBytes - kTagBytes;
    QByteArray tag(reinterpret_cast<const char*>(cipher + cipherLen), kTagBytes);
    QByteArray out(cipherLen, '\0');
    CipherCtx c(*crypto);
    int len = 0;
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    bool ok = c.ctx && crypto->EVP_DecryptInit_ex(c.ctx, crypto->EVP_aes_256_gcm(), nullptr, k, nonce) == 1
              && crypto->EVP_DecryptUpdate(c.ctx, nullptr, &len, reinterpret_cast<const unsigned char*>(aad.constData()),
                                   int(aad.size()))
                     == 1
              && crypto->EVP_DecryptUpdate(c.ctx, reinterpret_cast<unsigned char*>(out.data()), &len, cipher, cipherLen) == 1
              && crypto->EVP_CIPHER_CTX_ctrl(c.ctx, EVP_CTRL_GCM_SET_TAG, kTagBytes, tag.data()) == 1;
    int tail = 0;
    ok = ok && crypto->EVP_DecryptFinal_ex(c.ctx, reinterpret_cast<unsigned char*>(out.data()) + len, &tail) == 1;
    if (!ok)
        return false;
    *plain = out;
    return true;
}

QString defaultSecretKeyPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Tarnavel/TarnavelPanel/secret.key");
}

SecretStore& userSecretStore()
{
    static FileKeySecretStore store(defaultSecretKeyPath());
    return store;
}
