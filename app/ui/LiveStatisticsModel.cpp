// SPDX-License-Identifier: MIT
#include "LiveStatisticsModel.h"

#include "LiveFigureText.h"

#include <QPointer>

#include <utility>

namespace {

using LiveFigureText::Direction;

// A line too wide for a large desktop font wraps between its parts, never
// inside one: "queue" stays with its time, a figure with its unit.
QString keepingPartsWhole(const QString& line) {
    const QString separator = QStringLiteral(" · ");
    QStringList parts = line.split(separator);
    for (QString& part : parts) {
        part.replace(u' ', QChar(0x00a0));
    }
    return parts.join(separator);
}

// The text of one direction, and the same for a screen reader.
std::pair<QString, QString> textsOf(Direction direction,
                                    const std::optional<DirectionStatistics>& figures,
                                    std::optional<double> rate) {
    if (!figures) {
        return {};
    }
    return {keepingPartsWhole(LiveFigureText::line(direction, *figures, rate)),
            LiveFigureText::spoken(direction, *figures, rate)};
}

// One throttle's rates in both directions, short enough for the end of
// its row; "–" until two readings tell one.
QString rowLine(const std::optional<ShaperStatistics>& earlier, const ShaperStatistics& later,
                std::uint64_t id) {
    const auto rateText = [&](Direction direction) {
        const std::optional<double> rate =
            earlier ? LiveFigureText::bitsPerSecond(*earlier, later, id, direction) : std::nullopt;
        return rate ? LiveFigureText::rate(*rate) : QStringLiteral("–");
    };
    return keepingPartsWhole(QStringLiteral("↓ %1 · ↑ %2")
                                 .arg(rateText(Direction::download), rateText(Direction::upload)));
}

} // namespace

LiveStatisticsModel::LiveStatisticsModel(ThrottleService& throttleService, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService) {
    connect(&m_throttleService, &ThrottleService::stateChanged, this,
            [this](const ThrottleState& state) {
                if (!state.isEnabled) {
                    showNothing();
                }
            });
}

void LiveStatisticsModel::refresh() {
    if (m_reading || !m_throttleService.state().isEnabled) {
        return;
    }
    m_reading = true;
    // A task of its own: it runs to its end, whether or not anyone awaits it.
    Q_UNUSED(read());
}

QCoro::Task<> LiveStatisticsModel::read() {
    const QPointer<LiveStatisticsModel> alive(this);
    HelperClient& helper = m_throttleService.helperConnection();
    std::optional<ShaperStatistics> reading;
    QString failure;
    try {
        reading = co_await helper.readStatistics();
    } catch (const ThrottleError& error) {
        failure = error.description();
    }
    if (!alive) {
        co_return;
    }
    m_reading = false;
    if (!reading || !reading->active || !m_throttleService.state().isEnabled) {
        showNothing(failure);
        co_return;
    }
    show(*reading);
}

void LiveStatisticsModel::show(const ShaperStatistics& reading) {
    // A reading answered twice from the helper's cache tells no new rate:
    // the last one stays.
    if (!m_last || reading.takenAtMs != m_last->takenAtMs) {
        m_downloadRate = m_last
                             ? LiveFigureText::bitsPerSecond(*m_last, reading, Direction::download)
                             : std::nullopt;
        m_uploadRate = m_last ? LiveFigureText::bitsPerSecond(*m_last, reading, Direction::upload)
                              : std::nullopt;
        m_previous = std::exchange(m_last, reading);
    }
    m_rowLines.clear();
    for (const ThrottleStatistics& throttle : reading.throttles) {
        m_rowLines.insert(QString::number(throttle.id), rowLine(m_previous, reading, throttle.id));
    }
    std::tie(m_downloadText, m_downloadDescription) =
        textsOf(Direction::download, reading.download, m_downloadRate);
    std::tie(m_uploadText, m_uploadDescription) =
        textsOf(Direction::upload, reading.upload, m_uploadRate);
    Q_EMIT changed();
}

void LiveStatisticsModel::showNothing(const QString& why) {
    m_last.reset();
    m_previous.reset();
    m_rowLines.clear();
    m_downloadRate.reset();
    m_uploadRate.reset();
    // One line instead of two: the figures cannot be had, and why.
    m_downloadText = why.isEmpty() ? QString() : QStringLiteral("Live figures unavailable");
    m_downloadDescription = why.isEmpty() ? QString() : m_downloadText + QStringLiteral(": ") + why;
    m_uploadText.clear();
    m_uploadDescription.clear();
    Q_EMIT changed();
}
