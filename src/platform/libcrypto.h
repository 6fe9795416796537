#pragma once

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>

class QString;

// OpenSSL's libcrypto, opened on first use rather than linked. A start
// needs it only when it opens a sealed secret; mapped and relocated at every
// start it was the costliest library the panel loads that a bare Qt window
// does not. The secret store and the signature check are its only users:
// they call through this table and never name a libcrypto function
// directly, so the executable has no link-time need of the library.
//
// The table lists every function those two use; a function left out is an
// undefined reference at link time, not a fault at run time.
#define QY_LIBCRYPTO_FUNCTIONS(X)                                                                                    \
    X(RAND_bytes)                                                                                                    \
    X(EVP_aes_256_gcm)                                                                                               \
    X(EVP_CIPHER_CTX_new)                                                                                            \
    X(EVP_CIPHER_CTX_free)                                                                                           \
    X(EVP_CIPHER_CTX_ctrl)                                                                                           \
    X(EVP_EncryptInit_ex)                                                                                            \
    X(EVP_EncryptUpdate)                                                                                             \
    X(EVP_EncryptFinal_ex)                                                                                           \
    X(EVP_DecryptInit_ex)                                                                                            \
    X(EVP_DecryptUpdate)                                                                                             \
    X(EVP_DecryptFinal_ex)                                                                                           \
    X(EVP_sha256)                                                                                                    \
    X(EVP_MD_CTX_new)                                                                                                \
    X(EVP_MD_CTX_free)                                                                                               \
    X(EVP_DigestVerifyInit)                                                                                          \
    X(EVP_DigestVerify)                                                                                              \
    X(EVP_PKEY_free)                                                                                                 \
    X(EVP_PKEY_CTX_free)                                                                                             \
    X(EVP_PKEY_CTX_new_from_name)                                                                                    \
    X(EVP_PKEY_CTX_new_from_pkey)                                                                                    \
    X(EVP_PKEY_fromdata_init)                                                                                        \
    X(EVP_PKEY_fromdata)                                                                                             \
    X(EVP_PKEY_public_check)                                                                                         \
    X(OSSL_PARAM_BLD_new)                                                                                            \
    X(OSSL_PARAM_BLD_free)                                                                                           \
    X(OSSL_PARAM_BLD_push_utf8_string)                                                                               \
    X(OSSL_PARAM_BLD_push_octet_string)                                                                              \
    X(OSSL_PARAM_BLD_to_param)                                                                                       \
    X(OSSL_PARAM_free)                                                                                               \
    X(BN_bin2bn)                                                                                                     \
    X(BN_free)                                                                                                       \
    X(ECDSA_SIG_new)                                                                                                 \
    X(ECDSA_SIG_free)                                                                                                \
    X(ECDSA_SIG_set0)                                                                                                \
    X(i2d_ECDSA_SIG)

struct LibCrypto {
#define QY_LIBCRYPTO_POINTER(name) decltype(&::name) name = nullptr;
    QY_LIBCRYPTO_FUNCTIONS(QY_LIBCRYPTO_POINTER)
#undef QY_LIBCRYPTO_POINTER
};

// The process's table, opened once from the library whose major version the
// program was built against; nullptr when the library or one of its
// functions is missing (said once in the log). Safe from any thread.
const LibCrypto* libCrypto();

// Opens `soname` and fills a table from it; nullptr with `error` set when
// the library or one of the functions is missing. The library stays open.
const LibCrypto* openLibCrypto(const char* soname, QString* error);
