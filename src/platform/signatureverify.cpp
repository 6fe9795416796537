#include "platform/signatureverify.h"

#include "platform/libcrypto.h"

#include <openssl/core_names.h>

#include <memory>

namespace {

constexpr int kCoordinateBytes = 32;

// Frees through the table's function `Free`; an object exists only once
// the table does.
template <typename T, void (*LibCrypto::*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { (libCrypto()->*Free)(p); }
};
template <typename T, void (*LibCrypto::*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

using Pkey = Owned<EVP_PKEY, &LibCrypto::EVP_PKEY_free>;
using PkeyCtx = Owned<EVP_PKEY_CTX, &LibCrypto::EVP_PKEY_CTX_free>;
using MdCtx = Owned<EVP_MD_CTX, &LibCrypto::EVP_MD_CTX_free>;
using Sig = Owned<ECDSA_SIG, &LibCrypto::ECDSA_SIG_free>;
using ParamBuild = Owned<OSSL_PARAM_BLD, &LibCrypto::OSSL_PARAM_BLD_free>;
using Params = Owned<OSSL_PARAM, &LibCrypto::OSSL_PARAM_free>;

const unsigned char* bytes(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

Pkey publicKey(const LibCrypto& c, const QByteArray& x, const QByteArray& y)
{
    // The uncompressed point encoding: 0x04, X, Y.
    const QByteArray point = QByteArray(1, '\x04') + x + y;
    ParamBuild build(c.OSSL_PARAM_BLD_new());
    if (!build
        || !c.OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0)
        || !c.OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.constData(),
                                             size_t(point.size())))
        return nullptr;
    Params params(c.OSSL_PARAM_BLD_to_param(build.get()));
    PkeyCtx ctx(c.EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !ctx || c.EVP_PKEY_fromdata_init(ctx.get()) <= 0)
        return nullptr;
    EVP_PKEY* raw = nullptr;
    if (c.EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        return nullptr;
    Pkey key(raw);
    // Importing does not insist that the point lies on the curve; a key
    // off the curve must never take part in a verification.
    PkeyCtx check(c.EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!check || c.EVP_PKEY_public_check(check.get()) <= 0)
        return nullptr;
    return key;
}

// OpenSSL verifies the DER form (a SEQUENCE of the two INTEGERs).
QByteArray derSignature(const LibCrypto& c, const QByteArray& raw)
{
    Sig sig(c.ECDSA_SIG_new());
    BIGNUM* r = c.BN_bin2bn(bytes(raw), kCoordinateBytes, nullptr);
    BIGNUM* s = c.BN_bin2bn(bytes(raw) + kCoordinateBytes, kCoordinateBytes, nullptr);
    if (!sig || !r || !s || c.ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        c.BN_free(r);
        c.BN_free(s);
        return QByteArray();
    }
    const int len = c.i2d_ECDSA_SIG(sig.get(), nullptr);
    if (len <= 0)
        return QByteArray();
    QByteArray der(len, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    if (c.i2d_ECDSA_SIG(sig.get(), &out) != len)
        return QByteArray();
    return der;
}

} // namespace

bool verifyEcdsaP256Sha256(const QByteArray& x, const QByteArray& y, const QByteArray& message,
                           const QByteArray& signature)
{
    if (x.size() != kCoordinateBytes || y.size() != kCoordinateBytes || signature.size() != 2 * kCoordinateBytes)
        return false;
    const LibCrypto* crypto = libCrypto();
    if (!crypto)
        return false;
    const LibCrypto& c = *crypto;
    const Pkey key = publicKey(c, x, y);
    if (!key)
        return false;
    const QByteArray der = derSignature(c, signature);
    if (der.isEmpty())
        return false;
    MdCtx md(c.EVP_MD_CTX_new());
    if (!md || c.EVP_DigestVerifyInit(md.get(), nullptr, c.EVP_sha256(), nullptr, key.get()) != 1)
        return false;
    return c.EVP_DigestVerify(md.get(), bytes(der), size_t(der.size()), bytes(message), size_t(message.size())) == 1;
}
