// SPDX-License-Identifier: MIT
#include "LiveFigureText.h"

#include <QStringList>

#include <cmath>

namespace {

// Of a whole reading or of one throttle's figures.
template <typename Figures>
const std::optional<DirectionStatistics>& sideOf(const Figures& statistics,
                                                 LiveFigureText::Direction direction) {
    return direction == LiveFigureText::Direction::download ? statistics.download
                                                            : statistics.upload;
}

std::optional<double> rateBetween(const std::optional<DirectionStatistics>& before,
                                  const std::optional<DirectionStatistics>& after,
                                  const ShaperStatistics& earlier, const ShaperStatistics& later) {
    if (!before || !after || later.takenAtMs <= earlier.takenAtMs ||
        later.takenAtMs - earlier.takenAtMs > LiveFigureText::kLongestRateIntervalMs ||
        after->bytes < before->bytes) {
        return std::nullopt;
    }
    return static_cast<double>(after->bytes - before->bytes) * 8.0 * 1000.0 /
           static_cast<double>(later.takenAtMs - earlier.takenAtMs);
}

// Three figures at most: 1.02, 12.3, 123.
QString threeFigures(double value) {
    return QString::number(value, 'f', value < 10 ? 2 : value < 100 ? 1 : 0);
}

// The parts of a line: the rate, the drops, the queue.
QStringList partsOf(const DirectionStatistics& figures, std::optional<double> bitsPerSecond) {
    return {bitsPerSecond ? LiveFigureText::rate(*bitsPerSecond) : QStringLiteral("– Kbps"),
            LiveFigureText::count(figures.dropped) + QStringLiteral(" dropped"),
            QStringLiteral("queue ") + LiveFigureText::queue(figures)};
}

} // namespace

namespace LiveFigureText {

std::optional<double> bitsPerSecond(const ShaperStatistics& earlier, const ShaperStatistics& later,
                                    Direction direction) {
    return rateBetween(sideOf(earlier, direction), sideOf(later, direction), earlier, later);
}

std::optional<double> bitsPerSecond(const ShaperStatistics& earlier, const ShaperStatistics& later,
                                    std::uint64_t id, Direction direction) {
    const ThrottleStatistics* before = earlier.throttle(id);
    const ThrottleStatistics* after = later.throttle(id);
    if (!before || !after) {
        return std::nullopt;
    }
    return rateBetween(sideOf(*before, direction), sideOf(*after, direction), earlier, later);
}

QString rate(double bitsPerSecond) {
    if (bitsPerSecond < 9.95e3) {
        return QString::number(bitsPerSecond / 1e3, 'f', 1) + QStringLiteral(" Kbps");
    }
    if (bitsPerSecond < 999.5e3) {
        return QString::number(std::round(bitsPerSecond / 1e3), 'f', 0) + QStringLiteral(" Kbps");
    }
    if (bitsPerSecond < 999.5e6) {
        return threeFigures(bitsPerSecond / 1e6) + QStringLiteral(" Mbps");
    }
    return threeFigures(bitsPerSecond / 1e9) + QStringLiteral(" Gbps");
}

QString count(quint64 value) {
    if (value < 10'000) {
        return QString::number(value);
    }
    if (value < 999'500) {
        return QString::number(std::round(static_cast<double>(value) / 1e3), 'f', 0) + u'k';
    }
    const double millions = static_cast<double>(value) / 1e6;
    return QString::number(millions, 'f', millions < 9.95 ? 1 : 0) + u'M';
}

QString queue(const DirectionStatistics& figures) {
    if (!figures.queueMs) {
        return QStringLiteral("%1 %2")
            .arg(figures.queuedPackets)
            .arg(figures.queuedPackets == 1 ? QStringLiteral("pkt") : QStringLiteral("pkts"));
    }
    const quint64 ms = *figures.queueMs;
    if (ms < 1000) {
        return QStringLiteral("%1 ms").arg(ms);
    }
    const double seconds = static_cast<double>(ms) / 1000.0;
    return QString::number(seconds, 'f', seconds < 9.95 ? 1 : 0) + QStringLiteral(" s");
}

QString line(Direction direction, const DirectionStatistics& figures,
             std::optional<double> bitsPerSecond) {
    return (direction == Direction::download ? QStringLiteral("↓ ") : QStringLiteral("↑ ")) +
           partsOf(figures, bitsPerSecond).join(QStringLiteral(" · "));
}

QString spoken(Direction direction, const DirectionStatistics& figures,
               std::optional<double> bitsPerSecond) {
    QStringList parts = partsOf(figures, bitsPerSecond);
    if (!bitsPerSecond) {
        parts.first() = QStringLiteral("rate not known yet");
    }
    return (direction == Direction::download ? QStringLiteral("Download ")
                                             : QStringLiteral("Upload ")) +
           parts.join(QStringLiteral(", "));
}

} // namespace LiveFigureText
