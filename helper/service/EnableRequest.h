// SPDX-License-Identifier: MIT
#pragma once

#include "EngineJobs.h"
#include "ThrottleParameters.h"

#include <QString>

// A call that switches throttling on, as the bus front read it.
struct EnableRequest {
    QString caller;
    ThrottleParameters parameters;
    QString description;
    bool hold = false;
    EngineJobs::Clock::time_point arrived;
    // Why the parameters could not be read; told only to an authorized
    // caller.
    QString unreadable = {};
    // From the bus, once the caller is authorized.
    uint uid = 0;
    uint pid = 0;
};
