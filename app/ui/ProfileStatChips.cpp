// SPDX-License-Identifier: MIT
#include "ProfileStatChips.h"

#include <cmath>

namespace ProfileStatChips {

QList<ProfileStatChip> of(const ThrottleProfile& profile) {
    QList<ProfileStatChip> chips;
    const auto bandwidth = [](const Bandwidth& limit) {
        return QString::number(limit.value) + u' ' + BandwidthUnits::displaySuffix(limit.unit);
    };
    if (profile.downloadBandwidth) {
        chips.append({QStringLiteral("download"), QStringLiteral("↓"),
                      bandwidth(*profile.downloadBandwidth)});
    }
    if (profile.uploadBandwidth) {
        chips.append(
            {QStringLiteral("upload"), QStringLiteral("↑"), bandwidth(*profile.uploadBandwidth)});
    }
    // A present zero latency or DNS delay is configured but delays nothing.
    if (profile.latency && *profile.latency >= 1) {
        chips.append({QStringLiteral("latency"), QStringLiteral("◷"),
                      QString::number(*profile.latency) + QStringLiteral("ms")});
    }
    if (profile.packetLossPercent && *profile.packetLossPercent > 0) {
        // Truncated: 2.5 reads "2%".
        chips.append({QStringLiteral("packetLoss"), QStringLiteral("△"),
                      QString::number(std::trunc(*profile.packetLossPercent), 'f', 0) + u'%'});
    }
    if (profile.dnsDelay && *profile.dnsDelay >= 1) {
        chips.append({QStringLiteral("dnsDelay"), QStringLiteral("◉"),
                      QString::number(*profile.dnsDelay) + QStringLiteral("ms")});
    }
    return chips;
}

} // namespace ProfileStatChips
