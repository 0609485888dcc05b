// SPDX-License-Identifier: MIT
#include "HelperStateText.h"
#include "SignalWatcher.h"
#include "StatisticsText.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>

#include <csignal>
#include <optional>

namespace {

constexpr QLatin1StringView recordOption{"json"};
constexpr QLatin1StringView statisticsOption{"stats"};

// Asks the helper for the shaping's figures once a second and prints a line
// for each answer; a slow answer is not asked again meanwhile.
class StatisticsLines final : public QObject {
public:
    StatisticsLines(CommandContext& context, HelperClient& helper, bool json)
        : m_context(context)
        , m_helper(helper)
        , m_json(json) {
        m_timer.setInterval(1000);
        QObject::connect(&m_timer, &QTimer::timeout, this, &StatisticsLines::ask);
    }

    void start() {
        m_timer.start();
        ask();
    }

private:
    void ask() {
        if (!m_asking) {
            m_asking = true;
            Q_UNUSED(print());
        }
    }

    QCoro::Task<> print() {
        const QPointer<StatisticsLines> alive(this);
        std::optional<ShaperStatistics> reading;
        QString failure;
        try {
            reading = co_await m_helper.readStatistics();
        } catch (const ThrottleError& error) {
            failure = error.description();
        }
        if (!alive) {
            co_return;
        }
        m_asking = false;
        const QDateTime now = QDateTime::currentDateTime();
        if (m_json) {
            m_context.out << TerminalText::json(
                QJsonDocument(
                    QJsonObject{{"time", now.toUTC().toString(Qt::ISODateWithMs)},
                                {"active", reading ? QJsonValue(reading->active) : QJsonValue()},
                                {"statistics",
                                 reading ? StatisticsText::record(*reading, m_last) : QJsonValue()},
                                {"error", failure.isEmpty() ? QJsonValue() : QJsonValue(failure)}}),
                QJsonDocument::Compact);
        } else {
            m_context.out << now.toString(QStringLiteral("HH:mm:ss "))
                          << (reading ? StatisticsText::line(*reading, m_last)
                                      : TerminalText::line(failure));
        }
        // A line at a time, also into a pipe.
        m_context.out << Qt::endl;
        // The next rate is told against this reading; a failure or a
        // switch-off in between leaves none to tell it against.
        if (!reading || !reading->active) {
            m_last.reset();
        } else if (!m_last || reading->takenAtMs != m_last->takenAtMs) {
            m_last = reading;
        }
    }

    CommandContext& m_context;
    HelperClient& m_helper;
    const bool m_json;
    QTimer m_timer;
    bool m_asking = false;
    std::optional<ShaperStatistics> m_last;
};

void runWatch(CommandContext& context, const QCommandLineParser& parser) {
    const bool json = parser.isSet(QString(recordOption));
    QEventLoop loop;
    // Before anything can arrive: an interrupted watch has done its job.
    const SignalWatcher stop({SIGINT, SIGTERM});
    QObject::connect(&stop, &SignalWatcher::received, &loop, &QEventLoop::quit);
    ThrottleControl control;
    // After the connection, so that it goes first: an answer still on its
    // way then finds it gone.
    StatisticsLines statistics(context, control.connection, json);
    if (parser.isSet(QString(statisticsOption))) {
        statistics.start();
        loop.exec();
        return;
    }
    QObject::connect(
        &control.connection, &HelperClient::helperStateChanged, &loop,
        [&context, json](const HelperState& state) {
            if (json) {
                context.out << TerminalText::json(QJsonDocument(HelperStateText::record(state)),
                                                  QJsonDocument::Compact);
            } else {
                context.out << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss "))
                            << HelperStateText::line(state);
            }
            // A line at a time, also into a pipe.
            context.out << Qt::endl;
        });
    control.connection.followState();
    loop.exec();
}

} // namespace

Command watchCommand() {
    return {.name = QStringLiteral("watch"),
            .summary = QStringLiteral("Print the helper's state, then a line each time it changes, "
                                      "until interrupted."),
            .details = QStringLiteral(
                "Each line shows whether throttling is on, its limits, who switched it on and "
                "whether that owner holds it, whoever makes the change: the application, "
                "veltranectl, or the helper removing held throttling whose owner has gone. "
                "A schedule's phase shows in place of the limits it replaces, with a line at "
                "each change of phase: \"phase 2 of 3 · Outage · next at 17:42:05\". "
                "With --stats it prints instead, once a second, what the shaping does: per "
                "direction the rate over the last second, the packets dropped so far and the "
                "queue. SIGINT and SIGTERM end it with status 0."),
            .options = {QCommandLineOption(QString(recordOption),
                                           QStringLiteral("Print one JSON record per line.")),
                        QCommandLineOption(QString(statisticsOption),
                                           QStringLiteral("Print the shaping's live figures "
                                                          "once a second."))},
            .run = runWatch,
            .writesStores = false};
}
