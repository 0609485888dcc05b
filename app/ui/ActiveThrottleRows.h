// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleState.h"

#include <QString>
#include <QVariantList>

#include <vector>

// One line of the panel's list of throttles in force.
struct ActiveThrottleRow {
    // The helper's id, as text: QML numbers cannot hold every id.
    QString id;
    // The running profile's name when it is this application's throttle,
    // else the conditions.
    QString title;
    // "All traffic", "Only to api.example.com, :443".
    QString scope;
    // "Veltrane (this app) · since 14:02".
    QString detail;
    bool isOwn = false;

    bool operator==(const ActiveThrottleRow&) const = default;
};

namespace ActiveThrottleRows {

// Every throttle of the state, oldest first.
std::vector<ActiveThrottleRow> rowsOf(const ThrottleState& state);
// The panel lists them when there is more than one: a single throttle is
// what the card has always shown, its scope told by its line and its row.
bool listed(const ThrottleState& state);
// For a QML Repeater: one map per row, keyed by the field names.
QVariantList toVariant(const std::vector<ActiveThrottleRow>& rows);

} // namespace ActiveThrottleRows
