// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
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
    // For a throttle of one application: what it is known by, for its icon.
    QString applicationName;
    QString iconName;

    bool operator==(const ActiveThrottleRow&) const = default;
};

namespace ActiveThrottleRows {

// Every throttle of the state, oldest first; an application's named as
// `names` knows it, by its desktop id without them.
std::vector<ActiveThrottleRow> rowsOf(const ThrottleState& state,
                                      ApplicationNames* names = nullptr);
// The panel lists them when there is more than one, or one of one
// application or command: a single throttle of the machine or some
// destinations is what the card has always shown, its scope told by its
// line and its row.
bool listed(const ThrottleState& state);
// For a QML Repeater: one map per row, keyed by the field names.
QVariantList toVariant(const std::vector<ActiveThrottleRow>& rows);

} // namespace ActiveThrottleRows
