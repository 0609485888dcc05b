// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"

namespace {

void runOff(CommandContext& context, const QCommandLineParser&) {
    // Straight to the daemon, whoever switched throttling on: its disable
    // clears everything even when it does not know of any throttling.
    ThrottleControl control;
    if (const std::optional<HelperFailure> failure =
            waitForHelper(control.connection.disableThrottling())) {
        throw CliError::failure(failure->description);
    }
    context.out << "Throttling off\n";
}

} // namespace

Command offCommand() {
    return {.name = QStringLiteral("off"),
            .summary = QStringLiteral("Switch throttling off, whatever switched it on."),
            .run = runOff,
            .writesStores = false};
}
