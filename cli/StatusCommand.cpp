// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "HelperStateText.h"
#include "TaskDeadline.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// As systemctl status answers for a unit that is not running.
constexpr int kThrottlingOffStatus = 3;

constexpr QLatin1StringView statusJsonOption{"json"};

void runStatus(CommandContext& context, const QCommandLineParser& parser) {
    std::optional<ServiceStatus> registration;
    // Without a helper nothing can throttle.
    HelperState state;
    std::optional<QString> error;
    try {
        ThrottleControl control;
        registration = control.registration.daemonStatus();
        if (*registration == ServiceStatus::enabled) {
            state = waitWithDeadline(control.connection.readState(), kHelperDeadline);
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
        const QJsonObject record{
            {"helper", registration ? QJsonValue(helper) : QJsonValue()},
            {"helperStatus",
             registration ? QJsonValue(static_cast<int>(*registration)) : QJsonValue()},
            {"throttling", error ? QJsonValue() : QJsonValue(active)},
            {"owner", HelperStateText::ownerRecord(owner)},
            {"failure", state.failure.isEmpty() ? QJsonValue() : QJsonValue(state.failure)},
            {"selectedProfile",
             selected ? QJsonValue(QJsonObject{{"id", ThrottleProfile::idText(selected->id())},
                                               {"name", selected->name}})
                      : QJsonValue()},
            {"error", error ? QJsonValue(*error) : QJsonValue()},
        };
        context.out << TerminalText::json(QJsonDocument(record), QJsonDocument::Indented);
    } else {
        context.out << "Helper: " << helper << '\n'
                    << "Throttling: "
                    << (error    ? "unknown"
                        : active ? "on"
                                 : "off")
                    << '\n';
        if (owner) {
            context.out << "Owner: " << HelperStateText::owner(*owner) << '\n'
                        << "Held: " << (owner->held ? "yes, until its owner disconnects" : "no")
                        << '\n';
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
            .summary = QStringLiteral("Show whether the helper is installed, whether it throttles "
                                      "and for whom, and the selected profile."),
            .details = QStringLiteral("Exits with 0 when throttling is on, 3 when it is off and 1 "
                                      "when that cannot be told."),
            .options = {QCommandLineOption(QString(statusJsonOption),
                                           QStringLiteral("Print the status as JSON."))},
            .run = runStatus,
            .writesStores = false};
}
