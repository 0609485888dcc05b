// SPDX-License-Identifier: MIT
#pragma once

#include "NotificationCenter.h"
#include "ThrottleService.h"
#include "UserDefaults.h"

#include <QObject>
#include <QString>

// The time left before auto-disable switches throttling off, mirrored from
// the same settings the timer uses and from when throttling was switched on.
// The view calls appear() when the countdown comes on screen and
// updateRemaining() once a second while it stays there.
class AutoOffCountdownModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isShown READ isShown NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)

public:
    AutoOffCountdownModel(ThrottleService& throttleService, UserDefaults& defaults,
                          NotificationCenter& notifications, ThrottleService::Clock clock,
                          QObject* parent = nullptr);

    // Only while auto-disable is on and the time has not run out.
    bool isShown() const { return m_autoDisableEnabled && !m_isExpired; }
    QString text() const { return QStringLiteral("Auto-off in ") + m_remainingText; }
    QString remainingText() const { return m_remainingText; }
    bool isExpired() const { return m_isExpired; }

    // Starts a fresh countdown: an earlier expiry no longer hides it.
    Q_INVOKABLE void appear();
    Q_INVOKABLE void updateRemaining();

Q_SIGNALS:
    void changed();

private:
    ThrottleService& m_throttleService;
    UserDefaults& m_defaults;
    ThrottleService::Clock m_clock;
    bool m_autoDisableEnabled = false;
    bool m_isExpired = false;
    QString m_remainingText;
};
