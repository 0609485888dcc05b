// SPDX-License-Identifier: MIT
#include "HelperStateText.h"

#include "BandwidthUnit.h"
#include "TerminalText.h"
#include "ThrottleProfile.h"

namespace {

// The helper's bytes per second in the unit a profile would give: whole
// megabits where they are whole, otherwise kilobits.
std::optional<Bandwidth> bandwidth(qint64 bytesPerSecond) {
    if (bytesPerSecond <= 0) {
        return std::nullopt;
    }
    const __int128 bits = static_cast<__int128>(bytesPerSecond) * 8;
    const std::int64_t perMegabit = BandwidthUnits::bitsPerSecondPerUnit(BandwidthUnit::mbps);
    if (bits % perMegabit == 0) {
        return Bandwidth{static_cast<std::int64_t>(bits / perMegabit), BandwidthUnit::mbps};
    }
    return Bandwidth{
        static_cast<std::int64_t>(bits / BandwidthUnits::bitsPerSecondPerUnit(BandwidthUnit::kbps)),
        BandwidthUnit::kbps};
}

// As the panel summarises a profile; the wire has no absent values, so 0
// stands for none.
QString limits(const HelperParameters& parameters) {
    const auto present = [](qint64 value) {
        return value > 0 ? std::optional<std::int64_t>(value) : std::nullopt;
    };
    const auto percent = [](double value) {
        return value > 0 ? std::optional<double>(value) : std::nullopt;
    };
    NetworkConditions conditions;
    conditions.downloadBandwidth = bandwidth(parameters.downloadBytesPerSecond);
    conditions.uploadBandwidth = bandwidth(parameters.uploadBytesPerSecond);
    conditions.latency = present(parameters.latencyMs);
    conditions.packetLossPercent = parameters.packetLossPercent;
    conditions.dnsDelay = present(parameters.dnsDelayMs);
    conditions.jitter = present(parameters.jitterMs);
    conditions.packetLossCorrelationPercent = percent(parameters.lossCorrelationPercent);
    conditions.reorderPercent = percent(parameters.reorderPercent);
    conditions.duplicatePercent = percent(parameters.duplicatePercent);
    return ThrottleProfile(QUuid(), QString(), conditions, false, true).shortDescription();
}

QJsonValue orNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

QString HelperStateText::owner(const ThrottleOwner& owner) {
    // Another client's words: shown, never obeyed by the terminal.
    QString text = TerminalText::name(owner.displayName()) +
                   QStringLiteral(" (uid %1, pid %2").arg(owner.uid).arg(owner.pid);
    if (owner.since.isValid()) {
        text += QStringLiteral(", since ") +
                owner.since.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return text + u')';
}

QString HelperStateText::line(const HelperState& state) {
    if (!state.available) {
        return QStringLiteral("helper unavailable");
    }
    QStringList parts{state.active ? QStringLiteral("on") : QStringLiteral("off")};
    if (state.active && state.configuration) {
        parts << limits(*state.configuration);
    }
    if (state.active && state.owner) {
        parts << owner(*state.owner);
        if (state.owner->held) {
            parts << QStringLiteral("held");
        }
    }
    if (!state.failure.isEmpty()) {
        parts << TerminalText::line(state.failure);
    }
    return parts.join(QStringLiteral(" — "));
}

QJsonValue HelperStateText::ownerRecord(const std::optional<ThrottleOwner>& owner) {
    if (!owner) {
        return QJsonValue();
    }
    return QJsonObject{
        {"description", owner->description},
        {"uid", static_cast<qint64>(owner->uid)},
        {"pid", static_cast<qint64>(owner->pid)},
        {"since", owner->since.isValid()
                      ? QJsonValue(owner->since.toUTC().toString(Qt::ISODateWithMs))
                      : QJsonValue()},
        {"held", owner->held},
    };
}

QJsonObject HelperStateText::record(const HelperState& state) {
    QJsonValue configuration;
    if (state.configuration) {
        // The helper's own keys: the five always, the others when set.
        configuration = QJsonObject::fromVariantMap(state.configuration->toWire());
    }
    return QJsonObject{
        {"available", state.available},
        {"active", state.active},
        {"serial", static_cast<qint64>(state.serial)},
        {"configuration", configuration},
        {"owner", ownerRecord(state.owner)},
        {"failure", orNull(state.failure)},
    };
}
