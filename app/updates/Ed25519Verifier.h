// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

struct evp_pkey_st;

// Checks Ed25519 signatures of update packages against one public key. Keys
// and signatures are base64 text, as update feeds carry them: 32 and 64
// bytes once decoded.
class Ed25519Verifier final {
public:
    explicit Ed25519Verifier(const QByteArray& base64PublicKey);
    ~Ed25519Verifier();

    Ed25519Verifier(const Ed25519Verifier&) = delete;
    Ed25519Verifier& operator=(const Ed25519Verifier&) = delete;

    bool hasValidKey() const { return m_key != nullptr; }
    // True only when the signature is well formed and signs exactly `data`.
    bool verify(QByteArrayView data, const QByteArray& base64Signature) const;
    // The same for a file's contents; false when it cannot be read.
    bool verifyFile(const QString& path, const QByteArray& base64Signature) const;

private:
    struct KeyDeleter {
        void operator()(evp_pkey_st* key) const;
    };
    std::unique_ptr<evp_pkey_st, KeyDeleter> m_key;
};
