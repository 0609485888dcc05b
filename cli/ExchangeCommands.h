// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QList>

// export, import: profiles to and from a file, and as conditions for tc or
// a cluster.
QList<Command> exchangeCommands();
