// SPDX-License-Identifier: MIT
#include "AppcastUpdater.h"

#include "ReleaseNotes.h"
#include "StandardUserDriver.h"
#include "UpdateError.h"
#include "UpdateLog.h"
#include "UpdateNetwork.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Feeds and release notes are small; anything larger is not one.
constexpr qint64 maxDocumentBytes = 4 * 1024 * 1024;

QString notesOf(const AppcastItem& update) {
    return update.descriptionIsPlainText ? ReleaseNotes::fromPlainText(update.description)
                                         : ReleaseNotes::fromHtml(update.description);
}

} // namespace

AppcastUpdater::AppcastUpdater(UpdaterConfiguration configuration, StandardUserDriver& driver,
                               UserDefaults& defaults, std::unique_ptr<UpdateCheckTimer> timer,
                               std::unique_ptr<UpdateInstaller> installer, QObject* parent)
    : SoftwareUpdater(parent)
    , m_configuration(std::move(configuration))
    , m_driver(driver)
    , m_defaults(defaults)
    , m_timer(std::move(timer))
    , m_installer(std::move(installer))
    , m_network(
          new UpdateNetwork(m_configuration.requestTimeout, m_configuration.allowPlainHttp, this))
    , m_verifier(m_configuration.publicKey) {
    connect(m_timer.get(), &UpdateCheckTimer::timeout, this, &AppcastUpdater::checkInBackground);
    connect(&m_driver.session(), &UpdateSession::chosen, this, &AppcastUpdater::handleChoice);
}

AppcastUpdater::~AppcastUpdater() {
    m_network->cancel();
    if (m_phase == Phase::downloading) {
        m_download.remove();
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
    if (!m_verifier.hasValidKey()) {
        return QStringLiteral("the update signing key is not an Ed25519 public key");
    }
    m_started = true;
    if (automaticallyChecksForUpdates()) {
        m_timer->start(m_configuration.firstCheckDelay);
    }
    Q_EMIT canCheckForUpdatesChanged(canCheckForUpdates());
    return std::nullopt;
}

bool AppcastUpdater::canCheckForUpdates() const {
    // An update waiting for the user is no obstacle: checking shows it.
    return m_started && (m_phase == Phase::idle || m_phase == Phase::reminding);
}

bool AppcastUpdater::automaticallyChecksForUpdates() const {
    return !m_defaults.contains(automaticChecksKey) || m_defaults.boolValue(automaticChecksKey);
}

void AppcastUpdater::setAutomaticallyChecksForUpdates(bool enabled) {
    if (enabled == automaticallyChecksForUpdates()) {
        return;
    }
    m_defaults.setValue(automaticChecksKey, enabled);
    if (m_started) {
        if (enabled) {
            m_timer->start(m_configuration.firstCheckDelay);
        } else {
            m_timer->stop();
        }
    }
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

void AppcastUpdater::checkInBackground() {
    m_timer->start(m_configuration.checkInterval);
    // An update the user has not dealt with yet stays as it is.
    if (m_phase == Phase::idle && automaticallyChecksForUpdates()) {
        startCheck(UpdateCheck::scheduled);
    }
}

void AppcastUpdater::startCheck(UpdateCheck check) {
    m_check = check;
    setPhase(Phase::checking);
    if (check == UpdateCheck::userInitiated) {
        m_driver.showCheckingForUpdates();
    }
    m_network->fetch(m_configuration.feedUrl, maxDocumentBytes,
                     [this](std::optional<QString> error, const UpdateNetwork::Document& feed) {
                         if (error) {
                             checkFailed(QStringLiteral("The update information could not be "
                                                        "loaded: %1.")
                                             .arg(*error));
                         } else {
                             feedArrived(feed.body);
                         }
                     });
}

void AppcastUpdater::feedArrived(const QByteArray& feed) {
    Appcast appcast;
    try {
        appcast = Appcast::parse(feed);
    } catch (const UpdateError& error) {
        checkFailed(
            QStringLiteral("The update information could not be read: %1.").arg(error.message()));
        return;
    }
    // Asking explicitly shows even a version the user once skipped.
    const QString skipped =
        m_check == UpdateCheck::scheduled ? m_defaults.stringValue(skippedVersionKey) : QString();
    const std::optional<AppcastItem> update =
        appcast.newestApplicableItem(m_configuration.runningVersion, skipped);
    if (!update) {
        if (m_check == UpdateCheck::userInitiated) {
            setPhase(Phase::informing);
            m_driver.showUpToDate();
        } else {
            endSession();
        }
        return;
    }
    m_update = *update;
    // Only web pages: the feed must not make the desktop open a local file.
    m_downloadPage.clear();
    for (const QUrl& page : {m_update.infoLink, appcast.link, m_update.enclosure->url}) {
        if (page.scheme() == u"https" || page.scheme() == u"http") {
            m_downloadPage = page;
            break;
        }
    }
    if (!m_update.releaseNotesLink.isValid()) {
        present(notesOf(m_update));
        return;
    }
    m_network->fetch(m_update.releaseNotesLink, maxDocumentBytes,
                     [this](std::optional<QString> error, const UpdateNetwork::Document& notes) {
                         if (error) {
                             // The update matters more than its notes.
                             logUpdateLine(QStringLiteral("Release notes not loaded: ") + *error);
                             present(notesOf(m_update));
                             return;
                         }
                         const QString text = QString::fromUtf8(notes.body);
                         present(notes.contentType.startsWith(u"text/plain")
                                     ? ReleaseNotes::fromPlainText(text)
                                     : ReleaseNotes::fromHtml(text));
                     });
}

void AppcastUpdater::present(const QString& releaseNotes) {
    logUpdateLine(QStringLiteral("Update found: ") + m_update.displayVersion);
    // Set first: the driver may let the user act at once.
    setPhase(Phase::presenting);
    if (!m_driver.showUpdateFound(m_update, releaseNotes, m_check)) {
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
            m_defaults.setValue(skippedVersionKey, m_update.version);
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

QString AppcastUpdater::packagePath() const {
    // Only the name's last part: the feed does not choose where files go.
    QString name = QFileInfo(m_update.enclosure->url.path()).fileName();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) {
        name = QStringLiteral("update.deb");
    }
    return QDir(m_configuration.cacheDirectory).filePath(name);
}

void AppcastUpdater::install() {
    if (!m_installer->installsPackages()) {
        if (m_downloadPage.isEmpty()) {
            fail(QStringLiteral("The feed names no download page for this update."));
            return;
        }
        m_installer->openDownloadPage(m_downloadPage);
        endSession();
        return;
    }
    const AppcastEnclosure& enclosure = *m_update.enclosure;
    m_download.setFileName(packagePath() + QStringLiteral(".part"));
    if (!QDir().mkpath(m_configuration.cacheDirectory) ||
        !m_download.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("The update could not be saved: %1.").arg(m_download.errorString()));
        return;
    }
    setPhase(Phase::downloading);
    m_driver.showDownloadProgress(0, enclosure.length);
    m_network->download(
        enclosure.url, m_download, enclosure.length,
        [this, length = enclosure.length](qint64 received) {
            m_driver.showDownloadProgress(std::min(received, length), length);
        },
        [this](std::optional<QString> error) { downloadFinished(std::move(error)); });
}

void AppcastUpdater::downloadFinished(std::optional<QString> error) {
    m_download.close();
    const AppcastEnclosure& enclosure = *m_update.enclosure;
    if (error) {
        m_download.remove();
        fail(QStringLiteral("The update could not be downloaded: %1.").arg(*error));
        return;
    }
    const bool completeLength = m_download.size() == enclosure.length;
    if (!completeLength || !m_verifier.verifyFile(m_download.fileName(), enclosure.edSignature)) {
        logUpdateLine(QStringLiteral("Refused the update package from %1: %2")
                          .arg(enclosure.url.toDisplayString(),
                               completeLength ? QStringLiteral("its signature does not match")
                                              : QStringLiteral("%1 bytes where the feed says %2")
                                                    .arg(m_download.size())
                                                    .arg(enclosure.length)));
        m_download.remove();
        fail(improperlySignedMessage);
        return;
    }
    const QString package = packagePath();
    QFile::remove(package);
    if (!m_download.rename(package)) {
        m_download.remove();
        fail(QStringLiteral("The update could not be saved: %1.").arg(m_download.errorString()));
        return;
    }
    setPhase(Phase::installing);
    m_driver.showInstalling();
    m_installer->install(
        package, enclosure.edSignature,
        [this](std::optional<InstallFailure> failure) { installFinished(std::move(failure)); });
}

void AppcastUpdater::installFinished(std::optional<InstallFailure> failure) {
    QFile::remove(packagePath());
    if (failure) {
        logUpdateLine(QStringLiteral("The update was not installed: ") + failure->message);
        fail(failure->improperlySigned
                 ? improperlySignedMessage
                 : QStringLiteral("The update could not be installed: %1.").arg(failure->message));
        return;
    }
    logUpdateLine(QStringLiteral("Installed the update to ") + m_update.displayVersion);
    endSession();
    m_installer->relaunch();
}

void AppcastUpdater::fail(const QString& message) {
    setPhase(Phase::informing);
    m_driver.showUpdaterError(message);
}

void AppcastUpdater::endSession() {
    m_network->cancel();
    if (m_phase == Phase::downloading) {
        m_download.close();
        m_download.remove();
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
