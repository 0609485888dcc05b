// SPDX-License-Identifier: MIT
#include "HelperParameters.h"

#include "HelperProtocol.h"
#include "ThrottleError.h"

#include <array>
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

// Every parameter under its wire key, for both directions of the codec.
struct WireField {
    const char* key;
    qint64 HelperParameters::*integer;
    double HelperParameters::*real;
    // One of the five that every helper takes and every state carries.
    bool original;
};

namespace Key = HelperProtocol::Configuration;
using P = HelperParameters;

constexpr std::array<WireField, 9> kWireFields{{
    {Key::kDownloadBytesPerSecond, &P::downloadBytesPerSecond, nullptr, true},
    {Key::kUploadBytesPerSecond, &P::uploadBytesPerSecond, nullptr, true},
    {Key::kLatencyMs, &P::latencyMs, nullptr, true},
    {Key::kPacketLossPercent, nullptr, &P::packetLossPercent, true},
    {Key::kDnsDelayMs, &P::dnsDelayMs, nullptr, true},
    {Key::kJitterMs, &P::jitterMs, nullptr, false},
    {Key::kLossCorrelationPercent, nullptr, &P::lossCorrelationPercent, false},
    {Key::kReorderPercent, nullptr, &P::reorderPercent, false},
    {Key::kDuplicatePercent, nullptr, &P::duplicatePercent, false},
}};

} // namespace

HelperParameters HelperParameters::from(const ThrottleProfile& profile) {
    HelperParameters parameters;
    parameters.downloadBytesPerSecond = bytesPerSecond(profile.downloadBandwidth, "Download");
    parameters.uploadBytesPerSecond = bytesPerSecond(profile.uploadBandwidth, "Upload");
    parameters.latencyMs = profile.latency.value_or(0);
    parameters.packetLossPercent = profile.packetLossPercent.value_or(0.0);
    parameters.dnsDelayMs = profile.dnsDelay.value_or(0);
    parameters.jitterMs = profile.jitter.value_or(0);
    parameters.lossCorrelationPercent = profile.packetLossCorrelationPercent.value_or(0.0);
    parameters.reorderPercent = profile.reorderPercent.value_or(0.0);
    parameters.duplicatePercent = profile.duplicatePercent.value_or(0.0);
    return parameters;
}

bool HelperParameters::configuresSomething(const ThrottleProfile& profile) {
    return profile.downloadBandwidth || profile.uploadBandwidth || profile.latency ||
           profile.packetLossPercent.value_or(0.0) > 0.0 || profile.dnsDelay ||
           profile.hasRicherConditions();
}

bool HelperParameters::needsNamedParameters() const {
    for (const WireField& field : kWireFields) {
        const bool set =
            field.integer != nullptr ? this->*field.integer != 0 : this->*field.real != 0.0;
        if (!field.original && set) {
            return true;
        }
    }
    return false;
}

QVariantMap HelperParameters::toWire() const {
    QVariantMap wire;
    for (const WireField& field : kWireFields) {
        const QString key = QString::fromLatin1(field.key);
        if (field.integer != nullptr && (field.original || this->*field.integer != 0)) {
            wire.insert(key, qlonglong(this->*field.integer));
        } else if (field.real != nullptr && (field.original || this->*field.real != 0.0)) {
            wire.insert(key, this->*field.real);
        }
    }
    return wire;
}

HelperParameters HelperParameters::fromWire(const QVariantMap& wire) {
    HelperParameters parameters;
    for (const WireField& field : kWireFields) {
        const QVariant value = wire.value(QString::fromLatin1(field.key));
        if (field.integer != nullptr && value.canConvert<qint64>()) {
            parameters.*field.integer = value.value<qint64>();
        } else if (field.real != nullptr && value.canConvert<double>()) {
            parameters.*field.real = value.value<double>();
        }
    }
    return parameters;
}
