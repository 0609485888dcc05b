// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QList>

// profiles, show, create, edit, duplicate, delete, restore, hide, unhide.
QList<Command> profileCommands();
