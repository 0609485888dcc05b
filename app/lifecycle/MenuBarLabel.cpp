// SPDX-License-Identifier: MIT
#include "MenuBarLabel.h"

#include "ThrottleDescription.h"

#include <QStringList>

namespace {

QString bandwidthText(const Bandwidth& bandwidth) {
    return QString::number(bandwidth.value) + u' ' +
           (bandwidth.unit == BandwidthUnit::mbps ? QStringLiteral("Mbps")
                                                  : QStringLiteral("Kbps"));
}

} // namespace

QString menuBarTooltip(const ThrottleState& state) {
    if (!state.isEnabled) {
        return QStringLiteral("Veltrane - OFF");
    }
    if (state.throttles.size() > 1) {
        // One line each: the count says it is more than today's one switch.
        QStringList lines{QStringLiteral("Veltrane: %1 throttles on").arg(state.throttles.size())};
        for (const HelperThrottle& throttle : state.throttles) {
            lines << ThrottleDescription::scope(throttle.scope) + QStringLiteral(": ") +
                         ThrottleDescription::conditions(throttle.configuration) +
                         QStringLiteral(" (") + throttle.owner.displayName() + u')';
        }
        return lines.join(u'\n');
    }
    QStringList lines{QStringLiteral("Veltrane - ON")};
    if (state.isOwnedElsewhere()) {
        lines << QStringLiteral("By: ") + state.owner->displayName();
    }
    if (const std::optional<ThrottleProfile>& profile = state.currentProfile) {
        lines << QStringLiteral("Profile: ") + profile->name;
        if (profile->conditions.downloadBandwidth) {
            lines << QStringLiteral("Download: ") +
                         bandwidthText(*profile->conditions.downloadBandwidth);
        }
        if (profile->conditions.uploadBandwidth) {
            lines << QStringLiteral("Upload: ") +
                         bandwidthText(*profile->conditions.uploadBandwidth);
        }
        if (profile->conditions.latency.value_or(0) >= 1) {
            lines << QStringLiteral("Latency: +%1ms").arg(*profile->conditions.latency);
        }
        if (profile->conditions.packetLossPercent.value_or(0.0) > 0.0) {
            lines << QStringLiteral("Packet Loss: ") + profile->formattedPacketLoss();
        }
    }
    return lines.join(u'\n');
}

MenuBarLabel MenuBarLabel::from(const ThrottleState& state) {
    return {state.isEnabled ? onIcon : offIcon, menuBarTooltip(state)};
}
