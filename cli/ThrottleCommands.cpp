// SPDX-License-Identifier: MIT
#include "ThrottleCommands.h"

#include "CliError.h"
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
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The bus ends an unanswered call after the connection's reply timeout;
// this only guards against waiting on something that never reports back.
constexpr auto kHelperDeadline = 15s;
// Like the application's quit clean-up: the command has ended, and nobody
// should wait long for us.
constexpr auto kCleanupDeadline = 2s;

constexpr QLatin1StringView yesOption{"yes"};
constexpr QLatin1StringView jsonOption{"json"};

// The connection's diagnostics would only repeat the error that ends the
// command, and must not mix into its output.
HelperConnectionOptions quiet() {
    HelperConnectionOptions options;
    options.diagnostics = [](const QString&) {};
    return options;
}

// The same objects as the application, on the system bus (or the one that
// DBUS_SYSTEM_BUS_ADDRESS names).
struct ThrottleControl {
    SystemServiceRegistration registration;
    NotificationCenter notifications;
    HelperConnection connection{registration, quiet()};
    ThrottleService service{connection, registration, notifications};
};

template <typename T>
T awaitHelper(QCoro::Task<T> task, std::chrono::milliseconds deadline = kHelperDeadline) {
    try {
        return waitWithDeadline(std::move(task), deadline);
    } catch (const ThrottleError& error) {
        throw CliError::failure(error.description());
    } catch (const DeadlineExceeded&) {
        throw CliError::failure(QStringLiteral("The helper did not answer in time"));
    }
}

// As the panel does: all traffic blocked is something the user confirms.
void confirmDestructive(const ThrottleProfile& profile, const QCommandLineParser& parser,
                        QTextStream& err) {
    if (profile.packetLossPercent.value_or(0.0) < 100.0 || parser.isSet(QString(yesOption))) {
        return;
    }
    if (!::isatty(STDIN_FILENO)) {
        throw CliError::usage({QStringLiteral("'%1' blocks all network traffic: confirm with --yes")
                                   .arg(profile.name)});
    }
    err << "Enable 100% Packet Loss?\n"
           "This will block ALL network traffic. Your internet connection will be completely "
           "unavailable until you disable throttling.\n\n"
           "Are you sure you want to continue? [y/N] "
        << Qt::flush;
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != u"y" && answer != u"yes") {
        throw CliError::failure(QStringLiteral("Not enabled."));
    }
}

ThrottleProfile confirmedProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile =
        ProfileOptions::resolve(context.profiles, parser.positionalArguments().constFirst());
    confirmDestructive(profile, parser, context.err);
    return profile;
}

void applyAndRemember(ThrottleControl& control, CommandContext& context,
                      const ThrottleProfile& profile) {
    awaitHelper(control.service.applyProfile(profile));
    StatePersistenceService(context.defaults).saveSelectedProfileID(profile.id());
}

void applyCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    ThrottleControl control;
    applyAndRemember(control, context, profile);
    context.out << "Throttling with " << profile.name << u'\n';
}

void offCommand(CommandContext& context, const QCommandLineParser&) {
    // Straight to the daemon, whoever switched throttling on: its disable
    // clears everything even when it does not know of any throttling.
    ThrottleControl control;
    awaitHelper(control.connection.disableThrottling());
    context.out << "Throttling off\n";
}

void statusCommand(CommandContext& context, const QCommandLineParser& parser) {
    ThrottleControl control;
    const ServiceStatus registration = control.registration.daemonStatus();
    std::optional<bool> active;
    std::optional<QString> failure;
    if (registration == ServiceStatus::enabled) {
        try {
            active = awaitHelper(control.connection.getStatus());
        } catch (const CliError& error) {
            failure = error.messages.join(u'\n');
        }
    }

    const std::optional<QString> selectedId =
        StatePersistenceService(context.defaults).selectedProfileID();
    std::optional<ThrottleProfile> selected;
    if (const auto id = ThrottleProfile::idFromText(selectedId.value_or(QString()))) {
        selected = context.profiles.profile(*id);
    }

    if (parser.isSet(QString(jsonOption))) {
        QJsonObject record{
            {"helper", ServiceRegistration::statusName(registration)},
            {"helperStatus", static_cast<int>(registration)},
            {"throttling", active ? QJsonValue(*active) : QJsonValue()},
            {"selectedProfile",
             selected ? QJsonValue(QJsonObject{{"id", ThrottleProfile::idText(selected->id())},
                                               {"name", selected->name}})
                      : QJsonValue()},
        };
        context.out << QJsonDocument(record).toJson(QJsonDocument::Indented);
    } else {
        context.out << "Helper: " << ServiceRegistration::statusName(registration) << '\n'
                    << "Throttling: " << (active ? (*active ? "on" : "off") : "unknown") << '\n'
                    << "Selected profile: " << (selected ? selected->name : QStringLiteral("none"))
                    << '\n';
    }
    if (failure) {
        context.out.flush();
        context.err << *failure << '\n';
        context.exitStatus = CliError::failureStatus;
    }
}

void runCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    const QStringList command = parser.positionalArguments().mid(1);
    const QString program = TerminalCommand::resolve(command.constFirst());
    // Signals are held off before anything is switched on, so that no
    // Ctrl-C or SIGTERM can leave throttling behind.
    TerminalCommand terminal;
    ThrottleControl control;
    applyAndRemember(control, context, profile);

    std::optional<CliError> failure;
    int status = 0;
    if (const int early = TerminalCommand::receivedSignal()) {
        status = 128 + early;
    } else {
        try {
            status = terminal.run(program, command.mid(1));
        } catch (const CliError& error) {
            failure = error;
            status = error.exitStatus;
        }
    }

    try {
        awaitHelper(control.service.removeThrottling(), kCleanupDeadline);
    } catch (const CliError& error) {
        // Throttling that outlives the command must not look like success.
        context.err << error.messages.join(u'\n') << '\n'
                    << "Throttling may still be on: run 'veltranectl off'.\n";
        context.exitStatus = status != 0 ? status : CliError::failureStatus;
        return;
    }
    if (failure) {
        throw *failure;
    }
    context.exitStatus = status;
}

constexpr QLatin1StringView profileArgument{"PROFILE"};

QCommandLineOption yes() {
    return QCommandLineOption(QString(yesOption),
                              QStringLiteral("Apply a profile that blocks all traffic without "
                                             "asking."));
}

} // namespace

QList<Command> throttleCommands() {
    return {
        {QStringLiteral("apply"),
         profileArgument,
         QStringLiteral("Switch throttling on with a profile and select it."),
         {yes()},
         applyCommand},
        {QStringLiteral("off"),
         QString(),
         QStringLiteral("Switch throttling off, whatever switched it on."),
         {},
         offCommand},
        {QStringLiteral("status"),
         QString(),
         QStringLiteral("Show whether the helper is installed, whether it throttles, and the "
                        "selected profile."),
         {QCommandLineOption(QString(jsonOption), QStringLiteral("Print the status as JSON."))},
         statusCommand},
        {QStringLiteral("run"),
         QStringLiteral("PROFILE -- COMMAND [ARGS...]"),
         QStringLiteral("Run a command with throttling on, and switch it off when the command "
                        "ends, is interrupted or is terminated. Exits with the command's status."),
         {yes()},
         runCommand,
         true},
    };
}
