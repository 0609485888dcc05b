// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The file an item offers, with what it must be when it arrives.
struct AppcastEnclosure {
    QUrl url;
    // 0 when the feed gave no usable length.
    qint64 length = 0;
    QString type;
    // Base64 text as the feed has it; empty when the feed has none.
    QByteArray edSignature;
};

// One release in the feed.
struct AppcastItem {
    QString title;
    // What versions are compared by.
    QString version;
    // What the user is shown: the short version string, else the version.
    QString displayVersion;
    QUrl releaseNotesLink;
    // Inline release notes, used when there is no link.
    QString description;
    bool descriptionIsPlainText = false;
    // The release's web page: where a user without a package manager goes.
    QUrl infoLink;
    // Empty for every operating system.
    QString operatingSystem;
    std::optional<AppcastEnclosure> enclosure;
};

// An update feed in the RSS format with the sparkle: namespace.
struct Appcast {
    QUrl link;
    QList<AppcastItem> items;

    // Throws UpdateError saying what is wrong with the document.
    static Appcast parse(const QByteArray& xml);

    // The newest item that this system can install and whose version is
    // greater than the running one; none at or below `skippedVersion` (empty
    // for none).
    std::optional<AppcastItem> newestApplicableItem(QStringView runningVersion,
                                                    QStringView skippedVersion) const;
};
