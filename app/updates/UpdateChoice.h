// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"
#include "UserDriverDelegate.h"

#include <QString>
#include <QUrl>

#include <optional>

class UserDefaults;

// Which update a feed offers: its newest item that this system can install
// above the running version, passing over the version the user chose to
// skip in scheduled checks (asking explicitly shows it all the same), with
// the web page for a user who cannot install packages.
class UpdateChoice final {
public:
    static inline const QString skippedVersionKey = QStringLiteral("SUSkippedVersion");

    struct Offer {
        AppcastItem update;
        // Empty when the feed names no web page.
        QUrl downloadPage;
    };

    UpdateChoice(UserDefaults& defaults, QString runningVersion);

    std::optional<Offer> choose(const Appcast& appcast, UpdateCheck check) const;
    // Kept in the settings under the updater's own key: scheduled checks
    // offer only newer versions from now on.
    void skip(const AppcastItem& update);

private:
    UserDefaults& m_defaults;
    QString m_runningVersion;
};
