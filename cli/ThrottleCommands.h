// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QList>

// apply, off, status, run, watch: throttling through the helper daemon.
QList<Command> throttleCommands();
