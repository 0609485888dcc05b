// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"

#include <string>
#include <vector>

// How traffic control tells one throttle's packets apart: u32 filters on TCP
// and UDP, by destination on the way out and by source on the way in; a
// command's packets by the mark nftables gave them (fw), which the way in
// takes back from conntrack first (act_connmark). Each
// throttle's filters sit at preferences of their own, so that they can be
// removed by preference without touching another throttle's, and the kernel
// tries them in an order where the most specific scope wins:
// - 8001 to 8009: the way in restores each packet's mark from its
//   connection, classifying nothing, so the marks can be read after it;
// - 9001 to 9009: a command's processes, told apart by mark;
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
    // The classifier and what it matches: what follows the preference.
    std::vector<std::string> match;
    // Whether a packet it matches goes to the throttle's class; a filter
    // that only restores a mark lets classifying go on.
    bool classifies = true;

    bool operator==(const Filter&) const = default;
};

// Every filter of `throttle` in `direction`, in the order they are added.
std::vector<Filter> of(const ScopedPlan& throttle, Direction direction);

// Each protocol and preference `throttle`'s filters take in `direction`,
// once.
std::vector<Filter> preferences(const ScopedPlan& throttle,
                                Direction direction = Direction::outbound);

// The packet mark of a command's throttle, as tc and nft take it: after its
// id, so that the connections a command's throttle marked are not shaped by
// the next one in its slot (conntrack keeps their mark after it ended); after
// its slot where it has no id.
std::string markOf(const ScopedPlan& throttle);

} // namespace TrafficControlFilters
