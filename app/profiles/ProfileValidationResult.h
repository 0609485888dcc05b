// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"

#include <QString>
#include <QStringList>

#include <map>

// The outcome of checking a whole form: the flat list feeds the editor's error
// box; the name's, each condition's, the destinations', the application's
// and the schedule's first message the hints under them.
struct ProfileValidationResult {
    bool isValid = true;
    QStringList errors;
    QString nameError;
    std::map<Condition, QString> conditionErrors;
    QString destinationsError;
    QString applicationError;
    // The schedule's first message: a phase's, the trace's, or its size.
    QString scheduleError;
};
