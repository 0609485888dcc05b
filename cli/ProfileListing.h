// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QList>
#include <QString>

// The profiles command's listing: name, limits, built-in or custom, shown
// or hidden. Tabs, line breaks and backslashes in a name are escaped as \t,
// \n, \r and \\, so that one profile is always one line.
namespace ProfileListing {

// Tab-separated fields, no header: for programs.
QString separatedByTabs(const QList<ThrottleProfile>& profiles);
// Aligned columns under a header: for a person at a terminal.
QString table(const QList<ThrottleProfile>& profiles);

} // namespace ProfileListing
