// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateCheckTimer.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class UserDefaults;

// When scheduled update checks run: a while after the updater starts, then
// at an interval, as long as the user's setting (kept in the settings under
// the updater's own key) allows them. Main thread only.
class UpdateCheckSchedule final : public QObject {
    Q_OBJECT

public:
    static inline const QString automaticChecksKey = QStringLiteral("SUEnableAutomaticChecks");

    UpdateCheckSchedule(UserDefaults& defaults, std::unique_ptr<UpdateCheckTimer> timer,
                        std::chrono::milliseconds firstCheckDelay,
                        std::chrono::milliseconds checkInterval, QObject* parent = nullptr);
    ~UpdateCheckSchedule() override;

    // Checks are due from now on, the first after the delay.
    void start();
    // On until the user first turns it off.
    bool isEnabled() const;
    // Kept in the settings; starts or stops the checks once started.
    void setEnabled(bool enabled);

signals:
    // A scheduled check is due; the next one is already scheduled.
    void due();

private:
    void timedOut();

    UserDefaults& m_defaults;
    std::unique_ptr<UpdateCheckTimer> m_timer;
    std::chrono::milliseconds m_firstCheckDelay;
    std::chrono::milliseconds m_checkInterval;
    bool m_started = false;
};
