// SPDX-License-Identifier: MIT
#include "UpdateChoice.h"

#include "UserDefaults.h"

#include <utility>

UpdateChoice::UpdateChoice(UserDefaults& defaults, QString runningVersion)
    : m_defaults(defaults)
    , m_runningVersion(std::move(runningVersion)) {}

std::optional<UpdateChoice::Offer> UpdateChoice::choose(const Appcast& appcast,
                                                        UpdateCheck check) const {
    const QString skipped =
        check == UpdateCheck::scheduled ? m_defaults.stringValue(skippedVersionKey) : QString();
    std::optional<AppcastItem> update = appcast.newestApplicableItem(m_runningVersion, skipped);
    if (!update) {
        return std::nullopt;
    }
    Offer offer{std::move(*update), {}};
    // Only web pages: the feed must not make the desktop open a local file.
    for (const QUrl& page : {offer.update.infoLink, appcast.link, offer.update.enclosure->url}) {
        if (page.scheme() == u"https" || page.scheme() == u"http") {
            offer.downloadPage = page;
            break;
        }
    }
    return offer;
}

void UpdateChoice::skip(const AppcastItem& update) {
    m_defaults.setValue(skippedVersionKey, update.version);
}
