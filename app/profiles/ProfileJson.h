// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

// One profile as a record of the custom profiles file (and of the listings
// that print records): its id, name, flags and each condition it has under
// its own key, absent when left out, and its destinations, absent for all
// traffic.
namespace ProfileJson {

// The keys the record was read with but this build does not know are
// written back as they were, so an older build keeps a newer one's fields.
QJsonObject encode(const ThrottleProfile& profile);

// Strict about what it knows: a missing required key, a wrong type, a bad
// id or a destination that does not parse rejects the record; how many
// destinations and whether one repeats is the validator's to say. Values are kept as stored, not
// clamped. Unknown keys are kept in the profile's otherKeys.
std::optional<ThrottleProfile> decode(const QJsonValue& json);

// The conditions under their stored keys, for a profile and a phase of its
// schedule alike: absent ones left out.
void writeConditions(QJsonObject& object, const NetworkConditions& conditions);
// Absent or null is left out; false when a present one is not of its kind.
bool readConditions(const QJsonObject& object, NetworkConditions& conditions);
bool isConditionKey(const QString& key);

} // namespace ProfileJson
