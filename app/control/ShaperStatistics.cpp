// SPDX-License-Identifier: MIT
#include "ShaperStatistics.h"

#include "HelperProtocol.h"

#include <QDBusArgument>

namespace {

namespace Keys = HelperProtocol::Statistics;

// A nested dictionary arrives as a QDBusArgument when it was not demarshalled.
QVariantMap nestedMapOf(const QVariant& value) {
    if (value.typeId() == qMetaTypeId<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

// Unsigned counters only: a negative or textual value is not one.
std::optional<quint64> counterIn(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QString::fromLatin1(key));
    switch (value.typeId()) {
    case QMetaType::ULongLong:
    case QMetaType::UInt:
        return value.toULongLong();
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong() >= 0 ? std::optional(value.toULongLong()) : std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<ShaperDirection> directionIn(const QVariantMap& wire, const char* key) {
    if (!wire.contains(QString::fromLatin1(key))) {
        return std::nullopt;
    }
    const QVariantMap map = nestedMapOf(wire.value(QString::fromLatin1(key)));
    ShaperDirection direction;
    direction.bytes = counterIn(map, Keys::kBytes).value_or(0);
    direction.packets = counterIn(map, Keys::kPackets).value_or(0);
    direction.dropped = counterIn(map, Keys::kDropped).value_or(0);
    direction.queuedPackets = counterIn(map, Keys::kQueuedPackets).value_or(0);
    direction.queuedBytes = counterIn(map, Keys::kQueuedBytes).value_or(0);
    direction.queueMs = counterIn(map, Keys::kQueueMs);
    return direction;
}

} // namespace

ShaperStatistics ShaperStatistics::fromWire(const QVariantMap& wire) {
    ShaperStatistics statistics;
    statistics.active = wire.value(QString::fromLatin1(Keys::kActive)).toBool();
    if (!statistics.active) {
        return statistics;
    }
    statistics.takenAtMs = counterIn(wire, Keys::kTakenAt).value_or(0);
    statistics.download = directionIn(wire, Keys::kDownload);
    statistics.upload = directionIn(wire, Keys::kUpload);
    return statistics;
}
