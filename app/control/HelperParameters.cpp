// SPDX-License-Identifier: MIT
#include "HelperParameters.h"

#include "ThrottleError.h"

#include <limits>

namespace {

// Decimal kilo and mega, then bits to bytes with the remainder dropped. The
// product is formed in 128 bits: a stored value times a million can leave
// the 64-bit range long before the division brings it back.
qint64 bytesPerSecond(const std::optional<Bandwidth>& bandwidth, const char* direction) {
    if (!bandwidth) {
        return 0;
    }
    const __int128 bits = static_cast<__int128>(bandwidth->value) *
                          BandwidthUnits::bitsPerSecondPerUnit(bandwidth->unit);
    const __int128 bytes = bits >> 3;
    if (bytes > std::numeric_limits<qint64>::max() || bytes < std::numeric_limits<qint64>::min()) {
        throw ThrottleError::invalidProfile(QString::fromLatin1(direction) +
                                            QStringLiteral(" bandwidth is too large"));
    }
    return static_cast<qint64>(bytes);
}

} // namespace

HelperParameters HelperParameters::from(const ThrottleProfile& profile) {
    return {bytesPerSecond(profile.downloadBandwidth, "Download"),
            bytesPerSecond(profile.uploadBandwidth, "Upload"), profile.latency.value_or(0),
            profile.packetLossPercent.value_or(0.0), profile.dnsDelay.value_or(0)};
}

bool HelperParameters::configuresSomething(const ThrottleProfile& profile) {
    return profile.downloadBandwidth || profile.uploadBandwidth || profile.latency ||
           profile.packetLossPercent.value_or(0.0) > 0.0 || profile.dnsDelay;
}
