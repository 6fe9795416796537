#include "platform/signatureverify.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>

namespace {

constexpr int kCoordinateBytes = 32;

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

using Pkey = Owned<EVP_PKEY, EVP_PKEY_free>;
using PkeyCtx = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using MdCtx = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using Sig = Owned<ECDSA_SIG, ECDSA_SIG_free>;
using ParamBuild = Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using Params = Owned<OSSL_PARAM, OSSL_PARAM_free>;

const unsigned char* bytes(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

Pkey publicKey(const QByteArray& x, const QByteArray& y)
{
    // The uncompressed point encoding: 0x04, X, Y.
    const QByteArray point = QByteArray(1, '\x04') + x + y;
    ParamBuild build(OSSL_PARAM_BLD_new());
    if (!build
        || !OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0)
        || !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.constData(),
                                             size_t(point.size())))
        return nullptr;
    Params params(OSSL_PARAM_BLD_to_param(build.get()));
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0)
        return nullptr;
    EVP_PKEY* raw = nullptr;
    if (EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        return nullptr;
    Pkey key(raw);
    // Importing does not insist that the point lies on the curve; a key
    // off the curve must never take part in a verification.
    PkeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) <= 0)
        return nullptr;
    return key;
}

// OpenSSL verifies the DER form (a SEQUENCE of the two INTEGERs).
QByteArray derSignature(const QByteArray& raw)
{
    Sig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(bytes(raw), kCoordinateBytes, nullptr);
    BIGNUM* s = BN_bin2bn(bytes(raw) + kCoordinateBytes, kCoordinateBytes, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return QByteArray();
    }
    const int len = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (len <= 0)
        return QByteArray();
    QByteArray der(len, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    if (i2d_ECDSA_SIG(sig.get(), &out) != len)
        return QByteArray();
    return der;
}

} // namespace

bool verifyEcdsaP256Sha256(const QByteArray& x, const QByteArray& y, const QByteArray& message,
                           const QByteArray& signature)
{
    if (x.size() != kCoordinateBytes || y.size() != kCoordinateBytes || signature.size() != 2 * kCoordinateBytes)
        return false;
    const Pkey key = publicKey(x, y);
    if (!key)
        return false;
    const QByteArray der = derSignature(signature);
    if (der.isEmpty())
        return false;
    MdCtx md(EVP_MD_CTX_new());
    if (!md || EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(md.get(), bytes(der), size_t(der.size()), bytes(message), size_t(message.size())) == 1;
}
