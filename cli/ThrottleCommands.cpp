// SPDX-License-Identifier: MIT
#include "ThrottleCommands.h"

QList<Command> throttleCommands() {
    return {applyCommand(), offCommand(),   statusCommand(),
            runCommand(),   watchCommand(), appsCommand()};
}
