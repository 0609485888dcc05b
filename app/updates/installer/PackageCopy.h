// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <QByteArray>
#include <QString>

#include <functional>

class Ed25519Verifier;
class RootCacheFolder;
class UserPackageFile;

// The installer's own copy of the package, under a fresh name in the cache
// folder and removed whatever happens: what root checks and installs is
// this copy, which the user can no longer change. Failures throw
// InstallRefusal.
class PackageCopy final {
public:
    explicit PackageCopy(const RootCacheFolder& folder);
    ~PackageCopy();
    PackageCopy(const PackageCopy&) = delete;
    PackageCopy& operator=(const PackageCopy&) = delete;

    // Through the package's one descriptor, bounded again: the file may
    // grow after it was measured. `firstBlockCopied` runs once, after the
    // first block.
    void copyFrom(const UserPackageFile& package, qint64 maxBytes,
                  const std::function<void()>& firstBlockCopied);
    // Whether the copy carries `signature` (base64) by the verifier's key.
    bool isSignedBy(const Ed25519Verifier& verifier, const QByteArray& signature) const;

    const QString& path() const { return m_path; }

private:
    int m_folder;
    QString m_name;
    FileDescriptor m_fd;
    QString m_path;
    qint64 m_size = 0;
};
