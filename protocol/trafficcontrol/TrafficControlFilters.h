// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"

#include <string>
#include <vector>

// How traffic control tells one throttle's packets apart: u32 filters on TCP
// and UDP, by destination on the way out and by source on the way in. Each
// throttle's filters sit at preferences of their own, so that they can be
// removed by preference without touching another throttle's, and the kernel
// tries them in an order where the most specific scope wins:
// - below 10000: kept free for a command's processes, told apart by mark;
// - 10000 to 16579: destinations, the longest prefix first and a port
//   before none, IPv4 apart from IPv6 (the kernel keeps one protocol per
//   preference), then by slot;
// - 22100 and 22101: the whole machine's TCP and UDP.
namespace TrafficControlFilters {

enum class Direction { outbound, inbound };

struct Filter {
    // "ip" or "ipv6", as tc's `protocol` takes it.
    std::string protocol;
    int preference = 0;
    // What follows "u32".
    std::vector<std::string> match;

    bool operator==(const Filter&) const = default;
};

// Every filter of `throttle` in `direction`, in the order they are added.
std::vector<Filter> of(const ScopedPlan& throttle, Direction direction);

// Each protocol and preference `throttle`'s filters take, once.
std::vector<Filter> preferences(const ScopedPlan& throttle);

} // namespace TrafficControlFilters
