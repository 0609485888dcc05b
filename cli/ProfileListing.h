// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QList>
#include <QString>

// The profiles command's listing: name, limits, built-in or custom, shown
// or hidden. A name is shown as TerminalText::name escapes it, so that one
// profile is always one line and what it shows is what it holds.
namespace ProfileListing {

// Tab-separated fields, no header: for programs.
QString separatedByTabs(const QList<ThrottleProfile>& profiles);
// Aligned columns under a header: for a person at a terminal.
QString table(const QList<ThrottleProfile>& profiles);
// One profile in full for a person: a line per field, then its schedule,
// a line per phase or per direction of its trace.
QString details(const ThrottleProfile& profile);

} // namespace ProfileListing
