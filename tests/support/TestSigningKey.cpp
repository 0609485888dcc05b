// SPDX-License-Identifier: MIT
#include "TestSigningKey.h"

#include <openssl/evp.h>
#include <stdexcept>

TestSigningKey::TestSigningKey()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
    if (!m_key) {
        throw std::runtime_error("cannot make an Ed25519 key");
    }
}

TestSigningKey::~TestSigningKey() {
    EVP_PKEY_free(m_key);
}

QByteArray TestSigningKey::publicKey() const {
    QByteArray raw(32, '\0');
    size_t size = raw.size();
    EVP_PKEY_get_raw_public_key(m_key, reinterpret_cast<unsigned char*>(raw.data()), &size);
    return raw.toBase64();
}

QByteArray TestSigningKey::sign(QByteArrayView data) const {
    QByteArray signature(64, '\0');
    size_t size = signature.size();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool signed_ =
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    EVP_MD_CTX_free(context);
    if (!signed_) {
        throw std::runtime_error("cannot sign");
    }
    return signature.toBase64();
}
