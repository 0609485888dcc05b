// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "CommandCgroup.h"
#include "ProfileSwitch.h"
#include "TaskDeadline.h"
#include "TerminalCommand.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

namespace {

constexpr QLatin1StringView kOnly{"only"};

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
    return waitForHelper(control.connection.disableThrottling());
}

// Ends the throttle this command started; one the helper ended already
// (an 'off', its own stop) is no failure.
std::optional<HelperFailure> endOwn(ThrottleControl& control, quint64 id) {
    const std::optional<HelperFailure> failure = waitForHelper(control.connection.endThrottle(id));
    if (!failure || failure->unanswered) {
        return failure;
    }
    try {
        const HelperState state = waitWithDeadline(control.connection.readState(), kHelperDeadline);
        for (const HelperThrottle& throttle : state.throttles) {
            if (throttle.id == id) {
                return failure;
            }
        }
        return std::nullopt;
    } catch (const ThrottleError&) {
    } catch (const DeadlineExceeded&) {
    }
    return failure;
}

// The command alone is throttled: it starts held in a cgroup of its own,
// and runs once the helper shapes that cgroup's packets, so that even its
// first connection is shaped.
void runOnly(CommandContext& context, const ThrottleProfile& profile, const QByteArray& program,
             const QString& owner) {
    TerminalCommand terminal;
    ThrottleControl control;
    // No cgroup is made for a throttle that cannot be.
    ProfileSwitch::checkSwitchable(control, profile);
    std::unique_ptr<CommandCgroup> cgroup;
    quint64 id = 0;
    int status = 0;
    std::optional<CliError> failure;
    try {
        status = terminal.run(program, context.command, [&](pid_t child) {
            cgroup = std::make_unique<CommandCgroup>(child);
            ThrottleScope scope;
            scope.cgroup = cgroup->path().toStdString();
            id = ProfileSwitch::applyScoped(control, context, profile, owner, scope, true);
        });
    } catch (const CliError& error) {
        if (id == 0) {
            throw;
        }
        failure = error;
        status = error.exitStatus;
    }
    if (const std::optional<HelperFailure> removal = endOwn(control, id)) {
        context.err << removal->description << '\n' << ProfileSwitch::kMayStillBeOn << '\n';
        status = status != 0 ? status : CliError::failureStatus;
    }
    if (const std::optional<QString> left = cgroup->remove()) {
        context.err << *left << '\n';
    }
    if (failure) {
        throw *failure;
    }
    context.exitStatus = status;
}

void runRun(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
    const QByteArray program = TerminalCommand::resolve(context.command.constFirst());
    QStringList commandLine;
    for (const QByteArray& argument : std::as_const(context.command)) {
        commandLine << QString::fromLocal8Bit(argument);
    }
    if (parser.isSet(QString(kOnly))) {
        runOnly(context, profile, program,
                ProfileSwitch::ownerDescription(QStringLiteral("veltranectl run --only: "),
                                                commandLine.join(u' ')));
        return;
    }
    // Signals are held off before anything is switched on, so that no
    // signal can leave throttling behind; and throttling is held, so that
    // not even SIGKILL can.
    TerminalCommand terminal;
    ThrottleControl control;
    ProfileSwitch::applyAndRemember(
        control, context, profile,
        ProfileSwitch::ownerDescription(QStringLiteral("veltranectl run: "),
                                        commandLine.join(u' ')),
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
        context.err << removal->description << '\n' << ProfileSwitch::kMayStillBeOn << '\n';
        context.exitStatus = status != 0 ? status : CliError::failureStatus;
        return;
    }
    if (failure) {
        throw *failure;
    }
    context.exitStatus = status;
}

} // namespace

Command runCommand() {
    return {.name = QStringLiteral("run"),
            .arguments = QStringLiteral("PROFILE [--] COMMAND [ARGUMENTS...]"),
            .summary =
                QStringLiteral("Run a command with throttling on, and switch it off when the "
                               "command ends."),
            .details = QStringLiteral(
                "Also when the command is interrupted, terminated or hung up on: the signal is "
                "passed on to it. Throttling is held by this process: should it be killed, the "
                "helper switches throttling off by itself. Exits with the command's status, or "
                "with 1 when the command succeeded but throttling may still be on. Options go "
                "before PROFILE; "
                "everything after PROFILE (and after '--' when given) belongs to the command. "
                "With --only, only the command and the processes it starts are throttled, "
                "beside whatever throttles are on: it runs in a cgroup of its own (Linux, "
                "cgroup v2), and starts once its throttle is on."),
            .options = {ProfileSwitch::yesOption(),
                        QCommandLineOption(QString(kOnly),
                                           QStringLiteral("Throttle only the command and the "
                                                          "processes it starts."))},
            .run = runRun,
            .required = {QStringLiteral("PROFILE")},
            .rest = Command::Rest::command};
}
