// SPDX-License-Identifier: MIT
#include "ProfileStatChips.h"

#include <cmath>

namespace ProfileStatChips {

QList<ProfileStatChip> of(const ThrottleProfile& profile) {
    QList<ProfileStatChip> chips;
    const auto bandwidth = [](const Bandwidth& limit) {
        return QString::number(limit.value) + u' ' + BandwidthUnits::displaySuffix(limit.unit);
    };
    if (profile.conditions.downloadBandwidth) {
        chips.append({QStringLiteral("download"), QStringLiteral("↓"),
                      bandwidth(*profile.conditions.downloadBandwidth)});
    }
    if (profile.conditions.uploadBandwidth) {
        chips.append({QStringLiteral("upload"), QStringLiteral("↑"),
                      bandwidth(*profile.conditions.uploadBandwidth)});
    }
    // A present zero latency or DNS delay is configured but delays nothing.
    if (profile.conditions.latency && *profile.conditions.latency >= 1) {
        chips.append({QStringLiteral("latency"), QStringLiteral("◷"),
                      QString::number(*profile.conditions.latency) + QStringLiteral("ms")});
    }
    if (profile.conditions.packetLossPercent && *profile.conditions.packetLossPercent > 0) {
        // Truncated: 2.5 reads "2%".
        chips.append(
            {QStringLiteral("packetLoss"), QStringLiteral("△"),
             QString::number(std::trunc(*profile.conditions.packetLossPercent), 'f', 0) + u'%'});
    }
    if (profile.conditions.dnsDelay && *profile.conditions.dnsDelay >= 1) {
        chips.append({QStringLiteral("dnsDelay"), QStringLiteral("◉"),
                      QString::number(*profile.conditions.dnsDelay) + QStringLiteral("ms")});
    }
    return chips;
}

} // namespace ProfileStatChips
