// SPDX-License-Identifier: MIT
#include "Ed25519Verifier.h"

#include <QFile>

#include <openssl/evp.h>
#include <optional>

namespace {

constexpr qsizetype publicKeySize = 32;
constexpr qsizetype signatureSize = 64;

std::optional<QByteArray> decode(const QByteArray& base64, qsizetype size) {
    const auto decoded =
        QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size) {
        return std::nullopt;
    }
    return decoded.decoded;
}

} // namespace

void Ed25519Verifier::KeyDeleter::operator()(evp_pkey_st* key) const {
    EVP_PKEY_free(key);
}

Ed25519Verifier::Ed25519Verifier(const QByteArray& base64PublicKey) {
    if (const auto raw = decode(base64PublicKey, publicKeySize)) {
        m_key.reset(EVP_PKEY_new_raw_public_key(
            EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(raw->constData()),
            static_cast<size_t>(raw->size())));
    }
}

Ed25519Verifier::~Ed25519Verifier() = default;

bool Ed25519Verifier::verify(QByteArrayView data, const QByteArray& base64Signature) const {
    const auto signature = decode(base64Signature, signatureSize);
    if (!m_key || !signature) {
        return false;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    // Ed25519 signs the message itself, not a digest: one-shot, no digest type.
    return context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) == 1 &&
           EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char*>(signature->constData()),
                            static_cast<size_t>(signature->size()),
                            reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<size_t>(data.size())) == 1;
}

bool Ed25519Verifier::verifyFile(const QString& path, const QByteArray& base64Signature) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (file.size() == 0) {
        return verify({}, base64Signature);
    }
    // Mapped, not read: packages can be large and Ed25519 needs them whole.
    const uchar* mapped = file.map(0, file.size());
    if (!mapped) {
        return verify(file.readAll(), base64Signature);
    }
    return verify(QByteArrayView(reinterpret_cast<const char*>(mapped), file.size()),
                  base64Signature);
}
