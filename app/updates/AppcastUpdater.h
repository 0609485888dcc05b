// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"
#include "Ed25519Verifier.h"
#include "SoftwareUpdater.h"
#include "UpdateCheckTimer.h"
#include "UpdateInstaller.h"
#include "UpdateSession.h"
#include "UpdaterConfiguration.h"
#include "UserDriverDelegate.h"

#include <QFile>

#include <memory>
#include <optional>

class StandardUserDriver;
class UpdateNetwork;
class UserDefaults;

// Checks an appcast for a newer version, on a schedule and when asked, and
// takes a found update through download, signature check and installation.
// A session runs from a check until the user has dealt with what it found;
// the user driver presents it. Main thread only.
class AppcastUpdater final : public SoftwareUpdater {
    Q_OBJECT

public:
    // Settings of the updater's own, in the application's settings.
    static inline const QString automaticChecksKey = QStringLiteral("SUEnableAutomaticChecks");
    static inline const QString skippedVersionKey = QStringLiteral("SUSkippedVersion");
    static inline const QString improperlySignedMessage =
        QStringLiteral("The update is improperly signed and could not be validated.");

    AppcastUpdater(UpdaterConfiguration configuration, StandardUserDriver& driver,
                   UserDefaults& defaults, std::unique_ptr<UpdateCheckTimer> timer,
                   std::unique_ptr<UpdateInstaller> installer, QObject* parent = nullptr);
    ~AppcastUpdater() override;

    // Checks the configuration and starts the schedule of checks; the reason
    // when the updater cannot run, and then it never checks.
    std::optional<QString> startUpdater();

    bool canCheckForUpdates() const override;
    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool enabled) override;
    // Shows an update that is waiting for the user, brings a running
    // session's window to the front, or else checks now.
    void checkForUpdates() override;

private:
    enum class Phase { idle, checking, reminding, presenting, downloading, installing, informing };

    void checkInBackground();
    void startCheck(UpdateCheck check);
    void feedArrived(const QByteArray& feed);
    void present(const QString& releaseNotes);
    void checkFailed(const QString& message);
    void handleChoice(UpdateSession::Choice choice);
    void install();
    void downloadFinished(std::optional<QString> error);
    void installFinished(std::optional<InstallFailure> failure);
    void fail(const QString& message);
    void endSession();
    void setPhase(Phase phase);
    QString packagePath() const;

    UpdaterConfiguration m_configuration;
    StandardUserDriver& m_driver;
    UserDefaults& m_defaults;
    std::unique_ptr<UpdateCheckTimer> m_timer;
    std::unique_ptr<UpdateInstaller> m_installer;
    UpdateNetwork* m_network;
    Ed25519Verifier m_verifier;
    bool m_started = false;
    Phase m_phase = Phase::idle;
    UpdateCheck m_check = UpdateCheck::scheduled;
    AppcastItem m_update;
    QUrl m_downloadPage;
    QFile m_download;
};
