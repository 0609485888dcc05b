// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileManager.h"
#include "UserDefaults.h"

#include <QTextStream>

// What a command works with: the same stores as the application, loaded,
// and the program's output.
struct CommandContext {
    UserDefaults& defaults;
    ProfileManager& profiles;
    QTextStream& out;
    QTextStream& err;
    // What the program exits with when the command returns normally; a
    // command that runs another program passes its status on.
    int exitStatus = 0;
};
