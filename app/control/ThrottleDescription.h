// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"

#include <QString>

// How the panel and the tray name one throttle of the helper's list.
namespace ThrottleDescription {

// "All traffic", or "Only to api.example.com, :443" as the user typed the
// destinations (the addresses when no names came with them).
QString scope(const ThrottleScope& scope);
// "D: 780 Kbps, U: 330 Kbps, 100ms".
QString conditions(const ThrottleParameters& parameters);
// "Veltrane (this app)", or the owner's own description or process.
QString owner(const ThrottleOwner& owner);

} // namespace ThrottleDescription
