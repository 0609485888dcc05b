// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "HelperStateText.h"
#include "StatisticsText.h"
#include "TaskDeadline.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

// As systemctl status answers for a unit that is not running.
constexpr int kThrottlingOffStatus = 3;

constexpr QLatin1StringView statusJsonOption{"json"};
constexpr QLatin1StringView statusStatisticsOption{"stats"};

// Two readings a second apart, so that the rate is what passed in between;
// the helper's own readings are at most half a second old, so the second is
// always a new one.
struct LiveReading {
    std::optional<ShaperStatistics> earlier;
    std::optional<ShaperStatistics> latest;
    QString failure;
};

LiveReading readLiveFigures(HelperClient& helper) {
    LiveReading live;
    try {
        live.earlier = waitWithDeadline(helper.readStatistics(), kHelperDeadline);
        QEventLoop pause;
        QTimer::singleShot(std::chrono::seconds(1), &pause, &QEventLoop::quit);
        pause.exec();
        live.latest = waitWithDeadline(helper.readStatistics(), kHelperDeadline);
    } catch (const ThrottleError& failure) {
        live.failure = failure.description();
    } catch (const DeadlineExceeded&) {
        live.failure = QStringLiteral("The helper did not answer in time");
    }
    return live;
}

void runStatus(CommandContext& context, const QCommandLineParser& parser) {
    std::optional<ServiceStatus> registration;
    // Without a helper nothing can throttle.
    HelperState state;
    std::optional<QString> error;
    const bool statistics = parser.isSet(QString(statusStatisticsOption));
    LiveReading live;
    // Time left is told against the moment of the reading, not after the
    // second that the live figures take.
    QDateTime now;
    try {
        ThrottleControl control;
        registration = control.registration.daemonStatus();
        if (*registration == ServiceStatus::enabled) {
            state = waitWithDeadline(control.connection.readState(), kHelperDeadline);
            now = QDateTime::currentDateTime();
        }
        if (statistics && state.active) {
            live = readLiveFigures(control.connection);
        }
    } catch (const CliError& failure) {
        error = failure.messages.join(u'\n');
    } catch (const ThrottleError& failure) {
        error = failure.description();
    } catch (const DeadlineExceeded&) {
        error = QStringLiteral("The helper did not answer in time");
    }
    const bool active = state.active;
    const std::optional<ThrottleOwner> owner = active ? state.owner : std::nullopt;

    const std::optional<QString> selectedId = context.persistence.selectedProfileID();
    std::optional<ThrottleProfile> selected;
    if (const auto id = ThrottleProfile::idFromText(selectedId.value_or(QString()))) {
        selected = context.profiles.profile(*id);
    }

    const QString helper =
        registration ? ServiceRegistration::statusName(*registration) : QStringLiteral("unknown");
    if (parser.isSet(QString(statusJsonOption))) {
        QJsonObject record{
            {"helper", registration ? QJsonValue(helper) : QJsonValue()},
            {"helperStatus",
             registration ? QJsonValue(static_cast<int>(*registration)) : QJsonValue()},
            {"throttling", error ? QJsonValue() : QJsonValue(active)},
            {"owner", HelperStateText::ownerRecord(owner)},
            {"throttles", active ? HelperStateText::throttleRecords(state) : QJsonArray()},
            {"failure", state.failure.isEmpty() ? QJsonValue() : QJsonValue(state.failure)},
            {"selectedProfile",
             selected ? QJsonValue(QJsonObject{{"id", ThrottleProfile::idText(selected->id())},
                                               {"name", selected->name}})
                      : QJsonValue()},
            {"error", error ? QJsonValue(*error) : QJsonValue()},
        };
        if (statistics) {
            record.insert("statistics", live.latest
                                            ? StatisticsText::record(*live.latest, live.earlier)
                                            : QJsonValue());
            record.insert("statisticsError",
                          live.failure.isEmpty() ? QJsonValue() : QJsonValue(live.failure));
        }
        context.out << TerminalText::json(QJsonDocument(record), QJsonDocument::Indented);
    } else {
        context.out << "Helper: " << helper << '\n'
                    << "Throttling: "
                    << (error    ? "unknown"
                        : active ? "on"
                                 : "off")
                    << '\n';
        if (owner && state.throttles.size() <= 1 &&
            (state.throttles.isEmpty() || state.throttles.first().scope.isMachine())) {
            context.out << "Owner: " << HelperStateText::owner(*owner) << '\n'
                        << "Held: " << (owner->held ? "yes, until its owner disconnects" : "no")
                        << '\n';
            if (!state.throttles.isEmpty() && state.throttles.first().schedule) {
                context.out << "Schedule: "
                            << HelperStateText::schedule(*state.throttles.first().schedule, now)
                            << '\n';
            }
        } else if (active) {
            context.out << "Throttles:\n";
            for (const HelperThrottle& throttle : state.throttles) {
                context.out << "  " << HelperStateText::throttleLine(throttle, now) << '\n';
            }
        }
        if (live.latest) {
            context.out << "Live: " << StatisticsText::line(*live.latest, live.earlier) << '\n';
        } else if (!live.failure.isEmpty()) {
            context.out << "Live: unavailable: " << TerminalText::line(live.failure) << '\n';
        }
        if (!state.failure.isEmpty()) {
            context.out << "Clean-up: " << TerminalText::line(state.failure) << '\n';
        }
        context.out << "Selected profile: "
                    << (selected ? TerminalText::name(selected->name) : QStringLiteral("none"))
                    << '\n';
    }
    if (error) {
        context.out.flush();
        context.err << TerminalText::line(*error) << '\n';
        context.exitStatus = CliError::failureStatus;
    } else {
        context.exitStatus = active ? 0 : kThrottlingOffStatus;
    }
}

} // namespace

Command statusCommand() {
    return {.name = QStringLiteral("status"),
            .summary = QStringLiteral("Show whether the helper is installed, which throttles are "
                                      "on, on what and for whom, where their schedules stand, "
                                      "and the selected profile."),
            .details = QStringLiteral("Exits with 0 when throttling is on, 3 when it is off and 1 "
                                      "when that cannot be told."),
            .options = {QCommandLineOption(QString(statusJsonOption),
                                           QStringLiteral("Print the status as JSON.")),
                        QCommandLineOption(
                            QString(statusStatisticsOption),
                            QStringLiteral("While throttling is on, also show what the shaping "
                                           "does, measured over a second: the rate, the packets "
                                           "dropped and the queue, per direction."))},
            .run = runStatus,
            .writesStores = false};
}
