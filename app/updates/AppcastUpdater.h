// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"
#include "SoftwareUpdater.h"
#include "UpdateCheckSchedule.h"
#include "UpdateCheckTimer.h"
#include "UpdateChoice.h"
#include "UpdateDownload.h"
#include "UpdateFeed.h"
#include "UpdateHandover.h"
#include "UpdateInstaller.h"
#include "UpdateSession.h"
#include "UpdaterConfiguration.h"
#include "UserDriverDelegate.h"

#include <QUrl>

#include <memory>
#include <optional>

class StandardUserDriver;
class UpdateNetwork;
class UserDefaults;

// Checks an appcast for a newer version, on a schedule and when asked, and
// takes a found update through download, signature check and installation.
// A session runs from a check until the user has dealt with what it found;
// the user driver presents it. This class leads the session; the schedule,
// the feed, the choice, the download and the handover to the installer do
// the work. Main thread only.
class AppcastUpdater final : public SoftwareUpdater {
    Q_OBJECT

public:
    static inline const QString& improperlySignedMessage = InstallFailure::improperlySignedMessage;

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

    void startCheck(UpdateCheck check);
    void upToDate();
    void present(UpdateFeed::Found found);
    void checkFailed(const QString& message);
    void handleChoice(UpdateSession::Choice choice);
    void install();
    void downloadFinished(std::optional<QString> failure);
    void installFinished(std::optional<QString> failure);
    void fail(const QString& message);
    void endSession();
    void setPhase(Phase phase);

    UpdaterConfiguration m_configuration;
    StandardUserDriver& m_driver;
    UpdateNetwork* m_network;
    UpdateCheckSchedule m_schedule;
    UpdateChoice m_choice;
    UpdateFeed m_feed;
    UpdateDownload m_download;
    UpdateHandover m_handover;
    bool m_started = false;
    Phase m_phase = Phase::idle;
    UpdateCheck m_check = UpdateCheck::scheduled;
    AppcastItem m_update;
    QUrl m_downloadPage;
};
