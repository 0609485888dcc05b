// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"
#include "Ed25519Verifier.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <optional>

class UpdateNetwork;

// Downloads the package of the update being installed into the cache
// folder, and keeps it only when it is as long as the feed says and carries
// the release key's signature; anything else is removed, and the user is
// told the update is improperly signed.
class UpdateDownload final {
public:
    using Progress = std::function<void(qint64 received, qint64 expected)>;
    // Why it failed, in a sentence for the user; none once the verified
    // package lies at packagePath().
    using Done = std::function<void(std::optional<QString> failure)>;

    // `publicKey` is the base64 Ed25519 key that signs release packages.
    UpdateDownload(UpdateNetwork& network, QString cacheDirectory, const QByteArray& publicKey);

    bool hasValidKey() const { return m_verifier.hasValidKey(); }

    // Makes the file the package of `update` arrives in; why it cannot, in a
    // sentence for the user.
    std::optional<QString> prepare(const AppcastItem& update);
    // `done` is not called when the network's request is cancelled.
    void start(Progress progress, Done done);
    // Closes and removes the file of a download that will not finish.
    void discard();

    // Only the URL's last part names it: the feed does not choose where
    // files go.
    QString packagePath() const;

private:
    std::optional<QString> verify();

    UpdateNetwork& m_network;
    QString m_cacheDirectory;
    Ed25519Verifier m_verifier;
    AppcastEnclosure m_enclosure;
    QFile m_file;
};
