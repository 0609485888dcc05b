// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "ProfileSwitch.h"
#include "TaskDeadline.h"
#include "TerminalCommand.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

namespace {

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

void runRun(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
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
                "everything after PROFILE (and after '--' when given) belongs to the command."),
            .options = {ProfileSwitch::yesOption()},
            .run = runRun,
            .required = {QStringLiteral("PROFILE")},
            .rest = Command::Rest::command};
}
