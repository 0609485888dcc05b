// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// How every list of applications is searched, the running ones, those to
// launch and those a profile may be for: what is typed, trimmed, finds each
// whose name or desktop id holds it, in any case; nothing typed finds all.
namespace ApplicationSearch {

bool matches(const QString& name, const QString& desktopId, const QString& typed);

} // namespace ApplicationSearch
