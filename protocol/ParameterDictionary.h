// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <QString>
#include <QVariantMap>

#include <optional>

// The throttling parameters as a dictionary keyed by their wire names, as
// EnableThrottlingWithParameters takes them and the state publishes them.
namespace ParameterDictionary {

// The helper's reading of a request: an absent key is zero. An unknown key or
// a value of another bus type than the parameter's (x for whole numbers, d
// for percentages) gives nothing and says why in `failure`. Ranges are the
// parameter check's.
std::optional<ThrottleParameters> fromWire(const QVariantMap& dictionary, QString& failure);

// A client's reading of the state: an absent key, or one whose value does
// not convert, is zero; keys it does not know are ignored, so a newer
// helper's state still reads.
ThrottleParameters readWire(const QVariantMap& dictionary);

// The five of EnableThrottling always, the others only when set, so that a
// client that knows only the five reads what it always read.
QVariantMap toWire(const ThrottleParameters& parameters);

} // namespace ParameterDictionary
