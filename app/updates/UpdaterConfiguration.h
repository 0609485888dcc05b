// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>

// Where the updater looks for updates, whom it trusts, and its timing.
struct UpdaterConfiguration {
    QUrl feedUrl;
    // The Ed25519 key that signs packages, base64.
    QByteArray publicKey;
    QString runningVersion;
    // Downloaded packages go here until they are installed.
    QString cacheDirectory;
    std::chrono::milliseconds requestTimeout = std::chrono::seconds(30);
    std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(1);
    std::chrono::milliseconds checkInterval = std::chrono::hours(24);
    // Only tests against a server of their own may speak plain HTTP.
    bool allowPlainHttp = false;

    // This build's feed and key, the running version and the user's cache
    // folder. VELTRANE_UPDATE_FEED_URL in the environment replaces the feed
    // (HTTPS all the same).
    static UpdaterConfiguration fromBuild();
};
