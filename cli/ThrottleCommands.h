// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QList>

// Throttling through the helper daemon, one command to a file.
Command applyCommand();
Command appsCommand();
Command offCommand();
Command statusCommand();
Command runCommand();
Command watchCommand();

// apply, off, status, run, watch.
QList<Command> throttleCommands();
