// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"
#include "ThrottleScope.h"

#include <vector>

namespace DestinationLookup {

// The scope of `destinations` with every host name resolved to all its
// addresses, the names kept for display. Throws CliError::failure naming a
// host that resolves to nothing, or when resolving takes too long.
ThrottleScope resolved(const std::vector<Destination>& destinations);

} // namespace DestinationLookup
