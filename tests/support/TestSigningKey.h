// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

struct evp_pkey_st;

// A fresh Ed25519 key pair that signs test packages as a release would.
class TestSigningKey final {
public:
    TestSigningKey();
    ~TestSigningKey();

    // Base64, as the application and feeds carry them.
    QByteArray publicKey() const;
    QByteArray sign(QByteArrayView data) const;

private:
    evp_pkey_st* m_key;
};
