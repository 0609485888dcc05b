// SPDX-License-Identifier: MIT
#include "ThrottleCommands.h"

#include "ApplyPreconditions.h"
#include "CliError.h"
#include "Confirmation.h"
#include "HelperConnection.h"
#include "HelperProtocol.h"
#include "HelperStateText.h"
#include "NameCharacters.h"
#include "ProfileOptions.h"
#include "SignalWatcher.h"
#include "SystemServiceRegistration.h"
#include "TaskDeadline.h"
#include "TerminalCommand.h"
#include "TerminalText.h"
#include "ThrottleError.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>

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
// DBUS_SYSTEM_BUS_ADDRESS names). Throttling held by this command lasts as
// long as `connection`, which is as long as this process.
struct ThrottleControl {
    ThrottleControl() { requireSystemBus(); }

    SystemServiceRegistration registration;
    HelperConnection connection{registration, quiet()};
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
    if (profile.conditions.blocksAllTraffic()) {
        Confirmation{QStringLiteral("Enable 100% Packet Loss?\nThis will block ALL network "
                                    "traffic. Your internet connection will be completely "
                                    "unavailable until you disable throttling.\n\nAre you sure "
                                    "you want to continue?"),
                     QStringLiteral("'%1' blocks all network traffic: confirm with --yes")
                         .arg(TerminalText::name(profile.name)),
                     QStringLiteral("Not enabled.")}
            .ask(parser.isSet(QString(yesOption)), context.err);
    }
    return profile;
}

// What the helper shows as the owner, cut to the length it keeps. Control
// characters would break the lines that show it, and it refuses them;
// invisible ones would make it read as something else.
QString description(const QString& prefix, const QString& what) {
    QString text = prefix;
    for (const char32_t character : NameCharacters::codePoints(what)) {
        text += NameCharacters::isHidden(character) || character == u'\t' || character == u'\n'
                    ? QString(u' ')
                    : QString::fromUcs4(&character, 1);
    }
    const qsizetype limit = HelperProtocol::kMaxDescriptionLength;
    if (text.size() <= limit) {
        return text;
    }
    // Room for the ellipsis, and a character outside the BMP never cut in two.
    qsizetype end = limit - 1;
    if (text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    return text.left(end) + QStringLiteral("…");
}

// As the application refuses them, before anything is sent.
ThrottleParameters switchable(const ThrottleControl& control, const ThrottleProfile& profile) {
    try {
        return ApplyPreconditions::parametersToApply(profile, control.registration);
    } catch (const ThrottleError& error) {
        throw CliError::failure(error.description());
    }
}

// Switches throttling on with this command as its owner and selects the
// profile, as the panel does. When no answer came, the helper may have
// switched it on all the same: held throttling is switched off again, as
// `run` must never leave it behind; otherwise the user is told.
void applyAndRemember(ThrottleControl& control, CommandContext& context,
                      const ThrottleProfile& profile, const QString& owner, bool hold) {
    const ThrottleParameters parameters = switchable(control, profile);
    if (const std::optional<HelperFailure> failure =
            failureOf(control.connection.takeThrottling(parameters, owner, hold))) {
        CliError error = CliError::failure(failure->description);
        if (failure->unanswered && (!hold || failureOf(control.connection.disableThrottling()))) {
            error.messages << kMayStillBeOn;
        }
        throw error;
    }
    // Throttling is on as asked; a selection that could not be remembered
    // does not change that.
    context.persistence.saveSelectedProfileID(profile.id());
    if (!context.defaults.sync()) {
        context.err << "Throttling is on, but the selection could not be remembered: could not "
                       "write the settings file "
                    << context.defaults.fileName() << '\n';
    }
}

void applyCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    ThrottleControl control;
    applyAndRemember(control, context, profile,
                     description(QStringLiteral("veltranectl apply: "), profile.name), false);
    context.out << "Throttling with " << TerminalText::name(profile.name) << '\n';
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
    if (parser.isSet(QString(jsonOption))) {
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

// Switches off what this command switched on. Throttling that another
// client has taken over since is theirs, and stays.
std::optional<HelperFailure> switchOffOwn(ThrottleControl& control, CommandContext& context) {
    try {
        const HelperState state = waitWithDeadline(control.connection.readState(), kHelperDeadline);
        if (state.active && state.owner && !state.owner->isThisClient) {
            context.err << "Throttling is now " << state.owner->displayName() << "'s: left on\n";
            return std::nullopt;
        }
        if (!state.active && state.failure.isEmpty()) {
            return std::nullopt;
        }
    } catch (const ThrottleError&) {
        // When it cannot be told, switching off is the safe side.
    } catch (const DeadlineExceeded&) {
    }
    return failureOf(control.connection.disableThrottling());
}

void runCommand(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = confirmedProfile(context, parser);
    const QByteArray program = TerminalCommand::resolve(context.command.constFirst());
    QStringList commandLine;
    for (const QByteArray& argument : std::as_const(context.command)) {
        commandLine << QString::fromLocal8Bit(argument);
    }
    // Signals are held off before anything is switched on, so that no
    // signal can leave throttling behind; and throttling is held, so that
    // not even SIGKILL can.
    TerminalCommand terminal;
    ThrottleControl control;
    applyAndRemember(control, context, profile,
                     description(QStringLiteral("veltranectl run: "), commandLine.join(u' ')),
                     true);

    std::optional<CliError> failure;
    int status = 0;
    try {
        status = terminal.run(program, context.command);
    } catch (const CliError& error) {
        failure = error;
        status = error.exitStatus;
    }

    // As long as a helper reply may take: a slow removal is not a failed one.
    if (const std::optional<HelperFailure> removal = switchOffOwn(control, context)) {
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

void watchCommand(CommandContext& context, const QCommandLineParser& parser) {
    const bool json = parser.isSet(QString(jsonOption));
    QEventLoop loop;
    // Before anything can arrive: an interrupted watch has done its job.
    const SignalWatcher stop({SIGINT, SIGTERM});
    QObject::connect(&stop, &SignalWatcher::received, &loop, &QEventLoop::quit);
    ThrottleControl control;
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
         .details = QStringLiteral("Throttling stays on until switched off: by 'veltranectl "
                                   "off', the application or another command."),
         .options = {yes()},
         .run = applyCommand,
         .required = profileArgument},
        {.name = QStringLiteral("off"),
         .summary = QStringLiteral("Switch throttling off, whatever switched it on."),
         .run = offCommand},
        {.name = QStringLiteral("status"),
         .summary = QStringLiteral("Show whether the helper is installed, whether it throttles "
                                   "and for whom, and the selected profile."),
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
             "passed on to it. Throttling is held by this process: should it be killed, the "
             "helper switches throttling off by itself. Exits with the command's status, or "
             "with 1 when the command succeeded but throttling may still be on. Options go "
             "before PROFILE; "
             "everything after PROFILE (and after '--' when given) belongs to the command."),
         .options = {yes()},
         .run = runCommand,
         .required = profileArgument,
         .rest = Command::Rest::command},
        {.name = QStringLiteral("watch"),
         .summary = QStringLiteral("Print the helper's state, then a line each time it changes, "
                                   "until interrupted."),
         .details = QStringLiteral(
             "Each line shows whether throttling is on, its limits, who switched it on and "
             "whether that owner holds it, whoever makes the change: the application, "
             "veltranectl, or the helper removing held throttling whose owner has gone. "
             "SIGINT and SIGTERM end it with status 0."),
         .options = {QCommandLineOption(QString(jsonOption),
                                        QStringLiteral("Print one JSON record per line."))},
         .run = watchCommand},
    };
}
