// SPDX-License-Identifier: MIT
#pragma once

#include "InstallStatus.h"

#include <QString>

// Why the installer stops, thrown by each of its steps; InstallUpdate::run()
// turns it into its result.
struct InstallRefusal {
    InstallStatus status;
    QString message;
};
