// SPDX-License-Identifier: MIT
#include "AppcastUpdater.h"

#include "StandardUserDriver.h"
#include "UpdateLog.h"
#include "UpdateNetwork.h"

#include <utility>

AppcastUpdater::AppcastUpdater(UpdaterConfiguration configuration, StandardUserDriver& driver,
                               UserDefaults& defaults, std::unique_ptr<UpdateCheckTimer> timer,
                               std::unique_ptr<UpdateInstaller> installer, QObject* parent)
    : SoftwareUpdater(parent)
    , m_configuration(std::move(configuration))
    , m_driver(driver)
    , m_network(
          new UpdateNetwork(m_configuration.requestTimeout, m_configuration.allowPlainHttp, this))
    , m_schedule(defaults, std::move(timer), m_configuration.firstCheckDelay,
                 m_configuration.checkInterval)
    , m_choice(defaults, m_configuration.runningVersion)
    , m_feed(*m_network, m_configuration.feedUrl, m_choice)
    , m_download(*m_network, m_configuration.cacheDirectory, m_configuration.publicKey)
    , m_handover(std::move(installer)) {
    connect(&m_schedule, &UpdateCheckSchedule::due, this, [this] {
        // An update the user has not dealt with yet stays as it is.
        if (m_phase == Phase::idle) {
            startCheck(UpdateCheck::scheduled);
        }
    });
    connect(&m_driver.session(), &UpdateSession::chosen, this, &AppcastUpdater::handleChoice);
}

AppcastUpdater::~AppcastUpdater() {
    m_network->cancel();
    if (m_phase == Phase::downloading) {
        m_download.discard();
    }
}

std::optional<QString> AppcastUpdater::startUpdater() {
    if (m_started) {
        return std::nullopt;
    }
    if (m_configuration.feedUrl.isEmpty()) {
        return QStringLiteral("this build has no update feed");
    }
    if (const auto refused = m_network->refusal(m_configuration.feedUrl)) {
        return QStringLiteral("the update feed %1").arg(*refused);
    }
    if (!m_download.hasValidKey()) {
        return QStringLiteral("the update signing key is not an Ed25519 public key");
    }
    m_started = true;
    m_schedule.start();
    Q_EMIT canCheckForUpdatesChanged(canCheckForUpdates());
    return std::nullopt;
}

bool AppcastUpdater::canCheckForUpdates() const {
    // An update waiting for the user is no obstacle: checking shows it.
    return m_started && (m_phase == Phase::idle || m_phase == Phase::reminding);
}

bool AppcastUpdater::automaticallyChecksForUpdates() const {
    return m_schedule.isEnabled();
}

void AppcastUpdater::setAutomaticallyChecksForUpdates(bool enabled) {
    if (enabled == automaticallyChecksForUpdates()) {
        return;
    }
    m_schedule.setEnabled(enabled);
    Q_EMIT automaticallyChecksForUpdatesChanged(enabled);
}

void AppcastUpdater::checkForUpdates() {
    if (!m_started) {
        return;
    }
    switch (m_phase) {
    case Phase::idle:
        startCheck(UpdateCheck::userInitiated);
        return;
    case Phase::reminding:
        setPhase(Phase::presenting);
        m_driver.showUpdateInFocus();
        return;
    case Phase::checking:
        // A scheduled check has no window to bring forward.
        if (m_check == UpdateCheck::userInitiated) {
            m_driver.showUpdateInFocus();
        }
        return;
    default:
        m_driver.showUpdateInFocus();
        return;
    }
}

void AppcastUpdater::startCheck(UpdateCheck check) {
    m_check = check;
    setPhase(Phase::checking);
    if (check == UpdateCheck::userInitiated) {
        m_driver.showCheckingForUpdates();
    }
    m_feed.check(check,
                 [this](std::optional<QString> failure, std::optional<UpdateFeed::Found> found) {
                     if (failure) {
                         checkFailed(*failure);
                     } else if (found) {
                         present(std::move(*found));
                     } else {
                         upToDate();
                     }
                 });
}

void AppcastUpdater::upToDate() {
    if (m_check == UpdateCheck::userInitiated) {
        setPhase(Phase::informing);
        m_driver.showUpToDate();
    } else {
        endSession();
    }
}

void AppcastUpdater::present(UpdateFeed::Found found) {
    m_update = std::move(found.offer.update);
    m_downloadPage = std::move(found.offer.downloadPage);
    logUpdateLine(QStringLiteral("Update found: ") + m_update.displayVersion);
    // Set first: the driver may let the user act at once.
    setPhase(Phase::presenting);
    if (!m_driver.showUpdateFound(m_update, found.releaseNotes, m_check)) {
        setPhase(Phase::reminding);
    }
}

void AppcastUpdater::checkFailed(const QString& message) {
    logUpdateLine(QStringLiteral("Update check failed: ") + message);
    if (m_check == UpdateCheck::userInitiated) {
        fail(message);
    } else {
        endSession();
    }
}

void AppcastUpdater::handleChoice(UpdateSession::Choice choice) {
    switch (m_phase) {
    case Phase::presenting:
        if (choice == UpdateSession::Choice::skipThisVersion) {
            m_choice.skip(m_update);
            endSession();
        } else if (choice == UpdateSession::Choice::installUpdate) {
            install();
        } else {
            endSession();
        }
        return;
    case Phase::checking:
    case Phase::downloading:
    case Phase::informing:
        if (choice == UpdateSession::Choice::dismiss) {
            endSession();
        }
        return;
    default:
        // Nothing is shown, or the package tool is already at work.
        return;
    }
}

void AppcastUpdater::install() {
    if (!m_handover.installsPackages()) {
        if (const auto failure = m_handover.openDownloadPage(m_downloadPage)) {
            fail(*failure);
            return;
        }
        endSession();
        return;
    }
    if (const auto failure = m_download.prepare(m_update)) {
        fail(*failure);
        return;
    }
    setPhase(Phase::downloading);
    m_driver.showDownloadProgress(0, m_update.enclosure->length);
    m_download.start(
        [this](qint64 received, qint64 expected) {
            m_driver.showDownloadProgress(received, expected);
        },
        [this](std::optional<QString> failure) { downloadFinished(std::move(failure)); });
}

void AppcastUpdater::downloadFinished(std::optional<QString> failure) {
    if (failure) {
        fail(*failure);
        return;
    }
    setPhase(Phase::installing);
    m_driver.showInstalling();
    m_handover.install(
        m_download.packagePath(), m_update.enclosure->edSignature, m_update.displayVersion,
        [this](std::optional<QString> failure) { installFinished(std::move(failure)); });
}

void AppcastUpdater::installFinished(std::optional<QString> failure) {
    if (failure) {
        fail(*failure);
        return;
    }
    endSession();
    m_handover.relaunch();
}

void AppcastUpdater::fail(const QString& message) {
    setPhase(Phase::informing);
    m_driver.showUpdaterError(message);
}

void AppcastUpdater::endSession() {
    m_network->cancel();
    if (m_phase == Phase::downloading) {
        m_download.discard();
    }
    if (m_phase != Phase::idle) {
        setPhase(Phase::idle);
        m_driver.dismissUpdateSession();
    }
}

void AppcastUpdater::setPhase(Phase phase) {
    const bool could = canCheckForUpdates();
    m_phase = phase;
    if (canCheckForUpdates() != could) {
        Q_EMIT canCheckForUpdatesChanged(!could);
    }
}
