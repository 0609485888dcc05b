// SPDX-License-Identifier: MIT
#include "AutoOffCountdownModel.h"

#include "NotificationNames.h"
#include "SettingsKeys.h"

#include <cmath>

AutoOffCountdownModel::AutoOffCountdownModel(ThrottleService& throttleService,
                                             UserDefaults& defaults,
                                             NotificationCenter& notifications,
                                             ThrottleService::Clock clock, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_defaults(defaults)
    , m_clock(std::move(clock)) {
    connect(&notifications, &NotificationCenter::posted, this, [this](const QString& name) {
        if (name == NotificationName::autoDisableSettingChanged) {
            updateRemaining();
        }
    });
    updateRemaining();
}

void AutoOffCountdownModel::appear() {
    m_isExpired = false;
    updateRemaining();
}

void AutoOffCountdownModel::updateRemaining() {
    const bool wasShown = isShown();
    const QString previousText = m_remainingText;
    // Read on every update: the settings may change while the panel is open,
    // and the countdown must follow at once. Another client's throttling
    // has no run.
    m_autoDisableEnabled = m_defaults.boolValue(SettingsKeys::autoDisableEnabled) &&
                           m_throttleService.state().isOwnedByThisApplication();
    const std::optional<QDateTime>& enabledAt = m_throttleService.state().enabledAt;
    if (!enabledAt) {
        m_remainingText = QStringLiteral("--:--");
    } else {
        const double remaining = m_defaults.integerValue(SettingsKeys::autoDisableMinutes) * 60.0 -
                                 enabledAt->msecsTo(m_clock()) / 1000.0;
        if (remaining <= 0) {
            // The text stays as it was; it is no longer shown.
            m_isExpired = true;
        } else {
            // Minutes are not folded into hours: two hours read 120:00.
            const auto seconds = static_cast<qint64>(std::floor(remaining));
            m_remainingText = QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
        }
    }
    if (isShown() != wasShown || m_remainingText != previousText) {
        Q_EMIT changed();
    }
}
