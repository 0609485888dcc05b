// SPDX-License-Identifier: MIT
#include "StatisticsText.h"

#include "LiveFigureText.h"

#include <QJsonObject>
#include <QStringList>

namespace {

using LiveFigureText::Direction;

std::optional<double> rateOf(const ShaperStatistics& reading,
                             const std::optional<ShaperStatistics>& earlier, Direction direction) {
    return earlier ? LiveFigureText::bitsPerSecond(*earlier, reading, direction) : std::nullopt;
}

QJsonValue counter(quint64 value) {
    return QJsonValue(static_cast<qint64>(value));
}

QJsonValue directionRecord(const std::optional<DirectionStatistics>& figures,
                           std::optional<double> rate) {
    if (!figures) {
        return QJsonValue();
    }
    return QJsonObject{
        {"bytes", counter(figures->bytes)},
        {"packets", counter(figures->packets)},
        {"dropped", counter(figures->dropped)},
        {"queuedPackets", counter(figures->queuedPackets)},
        {"queuedBytes", counter(figures->queuedBytes)},
        {"queueMs", figures->queueMs ? counter(*figures->queueMs) : QJsonValue()},
        {"bitsPerSecond", rate ? QJsonValue(static_cast<qint64>(*rate)) : QJsonValue()},
    };
}

// A throttle's figures as a reading of their own, so that their rate is
// told as the whole reading's is.
ShaperStatistics ownReading(const ShaperStatistics& reading, const ThrottleStatistics& throttle) {
    return {.active = true,
            .takenAtMs = reading.takenAtMs,
            .download = throttle.download,
            .upload = throttle.upload};
}

QJsonObject directionRecords(const ShaperStatistics& reading,
                             const std::optional<ShaperStatistics>& earlier) {
    return QJsonObject{
        {"download",
         directionRecord(reading.download, rateOf(reading, earlier, Direction::download))},
        {"upload", directionRecord(reading.upload, rateOf(reading, earlier, Direction::upload))},
    };
}

} // namespace

QString StatisticsText::line(const ShaperStatistics& reading,
                             const std::optional<ShaperStatistics>& earlier) {
    if (!reading.active) {
        return QStringLiteral("off");
    }
    QStringList parts;
    for (const Direction direction : {Direction::download, Direction::upload}) {
        const auto& figures = direction == Direction::download ? reading.download : reading.upload;
        if (figures) {
            parts << LiveFigureText::line(direction, *figures, rateOf(reading, earlier, direction));
        }
    }
    return parts.isEmpty() ? QStringLiteral("on, no shaper found")
                           : parts.join(QStringLiteral(" — "));
}

QJsonValue StatisticsText::record(const ShaperStatistics& reading,
                                  const std::optional<ShaperStatistics>& earlier) {
    if (!reading.active) {
        return QJsonValue();
    }
    QJsonObject throttles;
    for (const ThrottleStatistics& throttle : reading.throttles) {
        std::optional<ShaperStatistics> before;
        if (const ThrottleStatistics* then = earlier ? earlier->throttle(throttle.id) : nullptr) {
            before = ownReading(*earlier, *then);
        }
        throttles.insert(QString::number(throttle.id),
                         directionRecords(ownReading(reading, throttle), before));
    }
    QJsonObject record = directionRecords(reading, earlier);
    record.insert("takenAt", counter(reading.takenAtMs));
    record.insert("throttles", throttles);
    return record;
}
