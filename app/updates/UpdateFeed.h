// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateChoice.h"
#include "UserDriverDelegate.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class UpdateNetwork;

// One look at the update feed: fetches and parses it, has the choice pick
// the update to offer, and loads that update's release notes.
class UpdateFeed final {
public:
    struct Found {
        UpdateChoice::Offer offer;
        // Styled text, safe to show.
        QString releaseNotes;
    };
    // Why the check failed, in a sentence for the user; else the update
    // found, none when this version is the newest.
    using Done = std::function<void(std::optional<QString> failure, std::optional<Found> found)>;

    UpdateFeed(UpdateNetwork& network, QUrl feedUrl, const UpdateChoice& choice);

    // `done` is not called when the network's request is cancelled.
    void check(UpdateCheck check, Done done);

private:
    void loadNotes(UpdateChoice::Offer offer, Done done);

    UpdateNetwork& m_network;
    QUrl m_feedUrl;
    const UpdateChoice& m_choice;
};
