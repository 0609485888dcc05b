// SPDX-License-Identifier: MIT
#pragma once

#include "EngineJobs.h"
#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <QString>
#include <QVariantMap>

#include <string>

// A call that switches throttling on, as the bus front read it.
struct EnableRequest {
    QString caller;
    ThrottleParameters parameters;
    QString description;
    bool hold = false;
    EngineJobs::Clock::time_point arrived;
    // The whole machine unless the caller named a scope.
    ThrottleScope scope = {};
    // Empty unless the caller sent one: the conditions then hold.
    ThrottleSchedule schedule = {};
    // Why the parameters could not be read; told only to an authorized
    // caller.
    QString unreadable = {};
    // From the bus, once the caller is authorized.
    uint uid = 0;
    uint pid = 0;

    // The request of EnableThrottlingWithParameters: the parameters by
    // name and the scope and schedule beside them, or why they cannot be
    // read. Its log
    // line goes to `logLine`, made of what was read, never of the caller's
    // texts.
    static EnableRequest fromNamedParameters(const QString& caller, const QVariantMap& parameters,
                                             const QString& description, bool hold,
                                             EngineJobs::Clock::time_point arrived,
                                             std::string& logLine);
};
