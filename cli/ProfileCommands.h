// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#pragma once

#include "Command.h"

#include <QList>

// profiles, show, create, edit, duplicate, delete, hide, unhide.
QList<Command> profileCommands();
