// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QList>

// The order in which profiles are listed by name: code point by code point
// after canonical composition, so digits come before upper case and upper
// case before lower case, and names that render alike sort alike however
// they were typed. QString's own comparison works on UTF-16 units, which
// puts characters beyond the Basic Multilingual Plane in the wrong place.
namespace ProfileNameOrder {

// Stable: profiles with equal names keep their relative order.
QList<ThrottleProfile> sortedByName(QList<ThrottleProfile> profiles);

} // namespace ProfileNameOrder
