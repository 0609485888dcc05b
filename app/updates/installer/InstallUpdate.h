// SPDX-License-Identifier: MIT
#pragma once

#include "InstallStatus.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

// The root side of installing an update: takes a package file that anyone
// may have written, copies it once into a folder only root can reach, and
// installs that copy only when it carries the release key's signature, is
// this application's package and is newer than the installed one. What the
// user's file becomes after it was opened cannot reach the package tool.
namespace InstallUpdate {

// Moments at which a test may change the user's file behind the installer.
enum class Step { opened, copying, copied };

// Everything the installer trusts and runs. The installed program fixes
// every field; only the tests' own entry point chooses others.
struct Setup {
    // Base64 Ed25519 key that release packages are signed with.
    QByteArray publicKey;
    // Root-only; created when missing, refused when it is a link or another
    // user's.
    QString cacheFolder = QStringLiteral("/var/cache/veltrane/updates");
    QString dpkgDeb = QStringLiteral("/usr/bin/dpkg-deb");
    QString dpkgQuery = QStringLiteral("/usr/bin/dpkg-query");
    QString dpkg = QStringLiteral("/usr/bin/dpkg");
    QString aptGet = QStringLiteral("/usr/bin/apt-get");
    QString packageName = QStringLiteral("veltrane");
    // Far above any real package; a bound on what root copies and maps.
    qint64 maxPackageBytes = qint64(512) * 1024 * 1024;
    std::chrono::milliseconds queryTimeout = std::chrono::seconds(60);
    // The package tool may fetch dependencies first.
    std::chrono::milliseconds installTimeout = std::chrono::minutes(20);
    // Tests only.
    std::function<void(Step)> onStep;
};

struct Result {
    InstallStatus status;
    // One line for the user, empty once installed.
    QString message;
};

// `packagePath` must be absolute; `signature` is the feed's base64 Ed25519
// signature of the package.
Result run(const Setup& setup, const QString& packagePath, const QByteArray& signature);

} // namespace InstallUpdate
