// SPDX-License-Identifier: MIT
#include "ThrottleCommands.h"

#include "CliError.h"
#include "Confirmation.h"
#include "HelperConnection.h"
#include "NotificationCenter.h"
#include "ProfileOptions.h"
#include "StatePersistenceService.h"
#include "SystemServiceRegistration.h"
#include "TaskDeadline.h"
#include "TerminalCommand.h"
#include "ThrottleService.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// The bus ends an unanswered call after the connection's reply timeout;
// this only guards against waiting on something that never reports back.
const std::chrono::milliseconds kHelperDeadline = HelperConnectionOptions().replyTimeout + 2s;

// As systemctl status answers for a unit that is not running.
constexpr int kThrottlingOffStatus = 3;

constexpr QLatin1StringView yesOption{"yes"};
constexpr QLatin1StringView jsonOption{"json"};

const QString kMayStillBeOn = QStringLiteral("Throttling may still be on: run 'veltranectl off'.");

// The connection's diagnostics would only repeat the error that ends the
// command, and must not mix into its output.
HelperConnectionOptions quiet() {
    HelperConnectionOptions options;
    options.diagnostics = [](const QString&) {};
    return options;
}

// Without the bus there is no telling whether the helper is installed;
// saying that the bus is out of reach points at the real cause.
void requireSystemBus() {
    const QString name = BusEndpoint::uniqueConnectionName(QStringLiteral("veltranectl-bus"));
    const QDBusConnection bus = BusEndpoint().open(name);
    const bool connected = bus.isConnected();
    const QString reason = bus.lastError().message();
    BusEndpoint::close(name);
    if (!connected) {
        throw CliError::failure(QStringLiteral("Cannot reach the system bus: ") + reason);
    }
}

// The same objects as the application, on the system bus (or the one that
// DBUS_SYSTEM_BUS_ADDRESS names).
struct ThrottleControl {
    ThrottleControl() { requireSystemBus(); }

    SystemServiceRegistration registration;
    NotificationCenter notifications;
    HelperConnection connection{registration, quiet()};
    ThrottleService service{connection, registration, notifications};
};

struct HelperFailure {
    QString description;
    // No answer came: the helper may have carried the call out all the same.
    bool unanswered = false;
};

std::optional<HelperFailure> failureOf(QCoro::Task<> call) {
    try {
        waitWithDeadline(std::move(call), kHelperDeadline);
    } catch (const ThrottleError& error) {
        const bool unanswered =
            error.errorCase() == ThrottleError::Case::helperCommunicationFailed ||
            error.errorCase() == ThrottleError::Case::unknown;
        return HelperFailure{error.description(), unanswered};
    } catch (const DeadlineExceeded&) {
        return HelperFailure{QStringLiteral("The helper did not answer in time"), true};
    }
    return std::nullopt;
}

ThrottleProfile confirmedProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile =
        ProfileOptions::resolve(context.profiles.allProfiles(), context.arguments.constFirst());
    // As the panel does: all traffic blocked is something the user confirms.
    if (profile.packetLossPercent.value_or(0.0) >= 100.0) {
        Confirmation{
            QStringLiteral("Enable 100% Packet Loss?\nThis will block ALL network "
                           "traffic. Your internet connection will be completely "
                           "unavailable until you disable throttling.\n\nAre you sure "
                           "you want to continue?"),
            QStringLiteral("'%1' blocks all network traffic: confirm with --yes").arg(profile.name),
            QStringLiteral("Not enabled.")}
            .ask(parser.isSet(QString(yesOption)), context.err);
    }
    return profile;
}

// Switches throttling on and selects the profile, as the panel does. When
// no answer came, the helper may have switched it on all the same: `run`
// switches it off again, as it must never leave throttling behind; `apply`
// says so.
void applyAndRemember(ThrottleControl& control, CommandContext& context,
                      const ThrottleProfile& profile, bool switchOffIfUnanswered) {
    if (const std::optional<HelperFailure> failure =
            failureOf(control.service.applyProfile(profile))) {
        CliError error = CliError::failure(failure->description);
        if (failure->unanswered &&
            (!switchOffIfUnanswered || failureOf(control.connection.disableThrottling()))) {
            error.messages << kMayStillBeOn;
        }
        throw error;
    }
    StatePersistenceService(context.defaults).saveSelectedProfileID(profile.id());
}

void applyCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    ThrottleControl control;
    applyAndRemember(control, context, profile, false);
    context.out << "Throttling with " << profile.name << '\n';
}

void offCommand(CommandContext& context, const QCommandLineParser&) {
    // Straight to the daemon, whoever switched throttling on: its disable
    // clears everything even when it does not know of any throttling.
    ThrottleControl control;
    if (const std::optional<HelperFailure> failure =
            failureOf(control.connection.disableThrottling())) {
        throw CliError::failure(failure->description);
    }
    context.out << "Throttling off\n";
}

void statusCommand(CommandContext& context, const QCommandLineParser& parser) {
    std::optional<ServiceStatus> registration;
    // Without a helper nothing can throttle.
    bool active = false;
    std::optional<QString> error;
    try {
        ThrottleControl control;
        registration = control.registration.daemonStatus();
        if (*registration == ServiceStatus::enabled) {
            active = waitWithDeadline(control.connection.getStatus(), kHelperDeadline);
        }
    } catch (const CliError& failure) {
        error = failure.messages.join(u'\n');
    } catch (const ThrottleError& failure) {
        error = failure.description();
    } catch (const DeadlineExceeded&) {
        error = QStringLiteral("The helper did not answer in time");
    }

    const std::optional<QString> selectedId =
        StatePersistenceService(context.defaults).selectedProfileID();
    std::optional<ThrottleProfile> selected;
    if (const auto id = ThrottleProfile::idFromText(selectedId.value_or(QString()))) {
        selected = context.profiles.profile(*id);
    }

    const QString helper =
        registration ? ServiceRegistration::statusName(*registration) : QStringLiteral("unknown");
    if (parser.isSet(QString(jsonOption))) {
        const QJsonObject record{
            {"helper", registration ? QJsonValue(helper) : QJsonValue()},
            {"helperStatus",
             registration ? QJsonValue(static_cast<int>(*registration)) : QJsonValue()},
            {"throttling", error ? QJsonValue() : QJsonValue(active)},
            {"selectedProfile",
             selected ? QJsonValue(QJsonObject{{"id", ThrottleProfile::idText(selected->id())},
                                               {"name", selected->name}})
                      : QJsonValue()},
            {"error", error ? QJsonValue(*error) : QJsonValue()},
        };
        context.out << QJsonDocument(record).toJson(QJsonDocument::Indented);
    } else {
        context.out << "Helper: " << helper << '\n'
                    << "Throttling: "
                    << (error    ? "unknown"
                        : active ? "on"
                                 : "off")
                    << '\n'
                    << "Selected profile: " << (selected ? selected->name : QStringLiteral("none"))
                    << '\n';
    }
    if (error) {
        context.out.flush();
        context.err << *error << '\n';
        context.exitStatus = CliError::failureStatus;
    } else {
        context.exitStatus = active ? 0 : kThrottlingOffStatus;
    }
}

void runCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    const QByteArray program = TerminalCommand::resolve(context.command.constFirst());
    // Signals are held off before anything is switched on, so that no
    // signal can leave throttling behind.
    TerminalCommand terminal;
    ThrottleControl control;
    applyAndRemember(control, context, profile, true);

    std::optional<CliError> failure;
    int status = 0;
    try {
        status = terminal.run(program, context.command);
    } catch (const CliError& error) {
        failure = error;
        status = error.exitStatus;
    }

    // As long as a helper reply may take: a slow removal is not a failed one.
    if (const std::optional<HelperFailure> removal =
            failureOf(control.service.removeThrottling())) {
        // Throttling that outlives the command must not look like success.
        context.err << removal->description << '\n' << kMayStillBeOn << '\n';
        context.exitStatus = status != 0 ? status : CliError::failureStatus;
        return;
    }
    if (failure) {
        throw *failure;
    }
    context.exitStatus = status;
}

const QStringList profileArgument{QStringLiteral("PROFILE")};

QCommandLineOption yes() {
    return QCommandLineOption(
        QString(yesOption),
        QStringLiteral("Apply a profile that blocks all traffic without asking."));
}

} // namespace

QList<Command> throttleCommands() {
    return {
        {.name = QStringLiteral("apply"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Switch throttling on with a profile and select it."),
         .options = {yes()},
         .run = applyCommand,
         .required = profileArgument},
        {.name = QStringLiteral("off"),
         .summary = QStringLiteral("Switch throttling off, whatever switched it on."),
         .run = offCommand},
        {.name = QStringLiteral("status"),
         .summary = QStringLiteral("Show whether the helper is installed, whether it throttles, "
                                   "and the selected profile."),
         .details = QStringLiteral("Exits with 0 when throttling is on, 3 when it is off and 1 "
                                   "when that cannot be told."),
         .options = {QCommandLineOption(QString(jsonOption),
                                        QStringLiteral("Print the status as JSON."))},
         .run = statusCommand},
        {.name = QStringLiteral("run"),
         .arguments = QStringLiteral("PROFILE [--] COMMAND [ARGUMENTS...]"),
         .summary = QStringLiteral("Run a command with throttling on, and switch it off when the "
                                   "command ends."),
         .details = QStringLiteral(
             "Also when the command is interrupted, terminated or hung up on: the signal is "
             "passed on to it. Exits with the command's status. Options go before PROFILE; "
             "everything after PROFILE (and after '--' when given) belongs to the command."),
         .options = {yes()},
         .run = runCommand,
         .required = profileArgument,
         .rest = Command::Rest::command},
    };
}
