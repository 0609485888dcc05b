// SPDX-License-Identifier: MIT
#include "UpdateFeed.h"

#include "ReleaseNotes.h"
#include "UpdateError.h"
#include "UpdateLog.h"
#include "UpdateNetwork.h"

#include <utility>

namespace {

// Feeds and release notes are small; anything larger is not one.
constexpr qint64 maxDocumentBytes = 4 * 1024 * 1024;

QString notesOf(const AppcastItem& update) {
    return update.descriptionIsPlainText ? ReleaseNotes::fromPlainText(update.description)
                                         : ReleaseNotes::fromHtml(update.description);
}

} // namespace

UpdateFeed::UpdateFeed(UpdateNetwork& network, QUrl feedUrl, const UpdateChoice& choice)
    : m_network(network)
    , m_feedUrl(std::move(feedUrl))
    , m_choice(choice) {}

void UpdateFeed::check(UpdateCheck check, Done done) {
    m_network.fetch(
        m_feedUrl, maxDocumentBytes,
        [this, check, done = std::move(done)](std::optional<QString> error,
                                              const UpdateNetwork::Document& feed) {
            if (error) {
                done(QStringLiteral("The update information could not be loaded: %1.").arg(*error),
                     std::nullopt);
                return;
            }
            Appcast appcast;
            try {
                appcast = Appcast::parse(feed.body);
            } catch (const UpdateError& parseError) {
                done(QStringLiteral("The update information could not be read: %1.")
                         .arg(parseError.message()),
                     std::nullopt);
                return;
            }
            std::optional<UpdateChoice::Offer> offer = m_choice.choose(appcast, check);
            if (!offer) {
                done(std::nullopt, std::nullopt);
                return;
            }
            loadNotes(std::move(*offer), done);
        });
}

void UpdateFeed::loadNotes(UpdateChoice::Offer offer, Done done) {
    if (!offer.update.releaseNotesLink.isValid()) {
        QString notes = notesOf(offer.update);
        done(std::nullopt, Found{std::move(offer), std::move(notes)});
        return;
    }
    const QUrl link = offer.update.releaseNotesLink;
    m_network.fetch(link, maxDocumentBytes,
                    [offer = std::move(offer), done = std::move(done)](
                        std::optional<QString> error, const UpdateNetwork::Document& notes) {
                        if (error) {
                            // The update matters more than its notes.
                            logUpdateLine(QStringLiteral("Release notes not loaded: ") + *error);
                            done(std::nullopt, Found{offer, notesOf(offer.update)});
                            return;
                        }
                        const QString text = QString::fromUtf8(notes.body);
                        done(std::nullopt, Found{offer, notes.contentType.startsWith(u"text/plain")
                                                            ? ReleaseNotes::fromPlainText(text)
                                                            : ReleaseNotes::fromHtml(text)});
                    });
}
