// SPDX-License-Identifier: MIT
#include "CompactStatsLineModel.h"

#include "ProfileDestinations.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

QString bandwidthText(const std::optional<Bandwidth>& bandwidth,
                      CompactStatsLineModel::Length length) {
    const bool narrow = length != CompactStatsLineModel::Length::full;
    if (!bandwidth) {
        return narrow ? QStringLiteral("∞") : QStringLiteral("Unlimited");
    }
    const QString suffix = BandwidthUnits::displaySuffix(bandwidth->unit);
    return QString::number(bandwidth->value) +
           (narrow ? suffix.left(1) : QLatin1Char(' ') + suffix);
}

} // namespace

CompactStatsLineModel::CompactStatsLineModel(ThrottleService& throttleService,
                                             ThrottleService::Clock clock, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_clock(std::move(clock)) {
    // A re-apply moves enabledAt: the elapsed time starts again at once.
    connect(&m_throttleService, &ThrottleService::stateChanged, this,
            &CompactStatsLineModel::updateDuration);
    updateText();
}

void CompactStatsLineModel::updateDuration() {
    const std::optional<QDateTime>& enabledAt = m_throttleService.state().enabledAt;
    // A clock set back shows no negative time.
    m_displayDuration =
        enabledAt ? durationText(std::max<qint64>(0, enabledAt->msecsTo(m_clock()) / 1000))
                  : QStringLiteral("0:00");
    updateText();
}

std::optional<ThrottleProfile> CompactStatsLineModel::shownProfile() const {
    const ThrottleState& state = m_throttleService.state();
    std::optional<ThrottleProfile> profile = state.currentProfile;
    if (!profile || profile->schedule.phases.empty()) {
        return profile;
    }
    // Phases leave the profile no conditions of its own: the line shows those
    // of the phase the helper last said is in force, an outage as what
    // passes of it (nothing).
    for (const HelperThrottle& throttle : state.throttles) {
        if (throttle.owner.isThisClient && throttle.schedule && throttle.schedule->phase >= 0 &&
            throttle.schedule->phase < std::ssize(profile->schedule.phases)) {
            const ProfilePhase& phase = profile->schedule.phases[throttle.schedule->phase];
            NetworkConditions outage;
            outage.packetLossPercent = 100.0;
            profile->conditions = phase.conditions.value_or(outage);
            break;
        }
    }
    return profile;
}

void CompactStatsLineModel::updateText() {
    const std::optional<ThrottleProfile> profile = shownProfile();
    const QString text = profile ? statsString(*profile, m_displayDuration) : QString();
    if (text != m_text) {
        m_text = text;
        m_conditions.clear();
        if (profile) {
            m_conditions = conditionsString(*profile, Length::full) + QChar(0x9c) +
                           conditionsString(*profile, Length::narrow);
            if (!profile->destinations.empty()) {
                m_conditions += QChar(0x9c) + conditionsString(*profile, Length::shortest);
            }
        }
        Q_EMIT textChanged();
    }
}

QString CompactStatsLineModel::statsString(const ThrottleProfile& profile,
                                           const QString& duration) {
    return conditionsString(profile, Length::full) + QStringLiteral(" · ") + duration;
}

QString CompactStatsLineModel::conditionsString(const ThrottleProfile& profile, Length length) {
    QStringList parts{
        bandwidthText(profile.conditions.downloadBandwidth, length) + QStringLiteral(" ↓"),
        bandwidthText(profile.conditions.uploadBandwidth, length) + QStringLiteral(" ↑")};
    if (profile.conditions.latency && *profile.conditions.latency >= 1) {
        parts << (profile.conditions.jitter.value_or(0) > 0
                      ? QStringLiteral("+%1±%2ms")
                            .arg(*profile.conditions.latency)
                            .arg(*profile.conditions.jitter)
                      : QStringLiteral("+%1ms").arg(*profile.conditions.latency));
    }
    if (profile.conditions.packetLossPercent && *profile.conditions.packetLossPercent > 0) {
        parts << profile.formattedPacketLoss();
    }
    if (!profile.destinations.empty() && length != Length::shortest) {
        parts << (length == Length::full ? ProfileDestinations::summary(profile.destinations)
                                         : ProfileDestinations::shortSummary(profile.destinations));
    }
    return parts.join(QStringLiteral(" · "));
}

QString CompactStatsLineModel::durationText(qint64 seconds) {
    if (seconds < 3600) {
        return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
    }
    return QString::asprintf("%lld:%02lld:%02lld", seconds / 3600, (seconds % 3600) / 60,
                             seconds % 60);
}
