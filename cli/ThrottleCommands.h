// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#pragma once

#include "Command.h"

#include <QList>

// apply, off, status, run: throttling through the helper daemon.
QList<Command> throttleCommands();
