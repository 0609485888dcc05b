// SPDX-License-Identifier: MIT
#include "StatisticsDictionary.h"

#include "HelperProtocol.h"

#include <QList>

namespace StatisticsDictionary {

namespace {

namespace Keys = HelperProtocol::Statistics;

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QVariantMap directionToWire(const DirectionStatistics& figures) {
    QVariantMap wire{
        {key(Keys::kBytes), qulonglong(figures.bytes)},
        {key(Keys::kPackets), qulonglong(figures.packets)},
        {key(Keys::kDropped), qulonglong(figures.dropped)},
        {key(Keys::kQueuedPackets), qulonglong(figures.queuedPackets)},
        {key(Keys::kQueuedBytes), qulonglong(figures.queuedBytes)},
    };
    if (figures.queueMs) {
        wire.insert(key(Keys::kQueueMs), qulonglong(*figures.queueMs));
    }
    return wire;
}

void insertDirections(QVariantMap& wire, const std::optional<DirectionStatistics>& download,
                      const std::optional<DirectionStatistics>& upload) {
    if (download) {
        wire.insert(key(Keys::kDownload), directionToWire(*download));
    }
    if (upload) {
        wire.insert(key(Keys::kUpload), directionToWire(*upload));
    }
}

// Unsigned counters only: a negative or textual value is not one.
std::optional<std::uint64_t> counterIn(const QVariantMap& map, const char* name) {
    const QVariant value = map.value(key(name));
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

std::optional<DirectionStatistics> directionIn(const QVariantMap& wire, const char* name) {
    const QVariant value = wire.value(key(name));
    if (value.typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    const QVariantMap map = value.toMap();
    DirectionStatistics direction;
    direction.bytes = counterIn(map, Keys::kBytes).value_or(0);
    direction.packets = counterIn(map, Keys::kPackets).value_or(0);
    direction.dropped = counterIn(map, Keys::kDropped).value_or(0);
    direction.queuedPackets = counterIn(map, Keys::kQueuedPackets).value_or(0);
    direction.queuedBytes = counterIn(map, Keys::kQueuedBytes).value_or(0);
    direction.queueMs = counterIn(map, Keys::kQueueMs);
    return direction;
}

// A list of dictionaries as the helper sends it, or as a bus reply reads.
QList<QVariantMap> dictionariesIn(const QVariant& value) {
    if (value.typeId() == qMetaTypeId<QList<QVariantMap>>()) {
        return value.value<QList<QVariantMap>>();
    }
    QList<QVariantMap> list;
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& each : value.toList()) {
            if (each.typeId() == QMetaType::QVariantMap) {
                list.append(each.toMap());
            }
        }
    }
    return list;
}

} // namespace

QVariantMap toWire(const ShaperStatistics& statistics) {
    QVariantMap wire{{key(Keys::kActive), statistics.active}};
    if (!statistics.active) {
        return wire;
    }
    wire.insert(key(Keys::kTakenAt), qulonglong(statistics.takenAtMs));
    insertDirections(wire, statistics.download, statistics.upload);
    QList<QVariantMap> throttles;
    for (const ThrottleStatistics& throttle : statistics.throttles) {
        QVariantMap each{{key(Keys::kId), qulonglong(throttle.id)}};
        insertDirections(each, throttle.download, throttle.upload);
        throttles.append(each);
    }
    wire.insert(key(Keys::kThrottles), QVariant::fromValue(throttles));
    return wire;
}

ShaperStatistics fromWire(const QVariantMap& wire) {
    ShaperStatistics statistics;
    statistics.active = wire.value(key(Keys::kActive)).toBool();
    if (!statistics.active) {
        return statistics;
    }
    statistics.takenAtMs = counterIn(wire, Keys::kTakenAt).value_or(0);
    statistics.download = directionIn(wire, Keys::kDownload);
    statistics.upload = directionIn(wire, Keys::kUpload);
    for (const QVariantMap& each : dictionariesIn(wire.value(key(Keys::kThrottles)))) {
        if (const auto id = counterIn(each, Keys::kId)) {
            statistics.throttles.push_back(
                {*id, directionIn(each, Keys::kDownload), directionIn(each, Keys::kUpload)});
        }
    }
    return statistics;
}

} // namespace StatisticsDictionary
