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

// The form in which two names are the same name: composed and lower-cased,
// so that "É" typed as one character or as "E" and an accent, and "é",
// are one name.
QString identityKey(const QString& name);

} // namespace ProfileNameOrder
