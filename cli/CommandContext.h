// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileManager.h"
#include "StatePersistenceService.h"
#include "UserDefaults.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTextStream>

// What a command works with: the same stores as the application, loaded,
// its arguments and the program's output.
struct CommandContext {
    UserDefaults& defaults;
    // The selected profile, remembered in `defaults` as the application does.
    StatePersistenceService& persistence;
    ProfileManager& profiles;
    QTextStream& out;
    QTextStream& err;
    // The positional arguments, without the "--" that may end the options.
    QStringList arguments;
    // A program to run and its arguments, byte for byte as they were given.
    QList<QByteArray> command;
    // What the program exits with when the command returns normally; a
    // command that runs another program passes its status on.
    int exitStatus = 0;
};
