// SPDX-License-Identifier: MIT
#include "PfAnchorRules.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace {

// Destinations of one throttle that are equally specific and share a port.
struct Group {
    int rank = 0;
    int slot = 0;
    std::optional<std::uint16_t> port;
    std::vector<std::string> addresses;
};

// 0 for the most specific: a whole address with a port, as the kernel's
// filters of traffic control rank them.
int rankOf(const Destination& destination) {
    const int bits = destination.isIPv6 ? 128 : 32;
    const int prefix =
        destination.kind == Destination::Kind::network ? destination.prefixLength : 0;
    return (bits - prefix) * 2 + (destination.port ? 0 : 1);
}

std::vector<Group> groupsOf(const ShapingLayout& layout) {
    std::map<std::tuple<int, int, int>, Group> groups;
    for (const ScopedPlan& throttle : layout.throttles) {
        if (throttle.scope.kind() != ThrottleScope::Kind::destinations) {
            continue;
        }
        for (const Destination& destination : throttle.scope.destinations) {
            const int rank = rankOf(destination);
            Group& group =
                groups[{rank, throttle.slot, destination.port ? int(*destination.port) : -1}];
            group.rank = rank;
            group.slot = throttle.slot;
            group.port = destination.port;
            if (destination.kind == Destination::Kind::network) {
                group.addresses.push_back(destination.addressText());
            }
        }
    }
    std::vector<Group> ordered;
    for (auto& [key, group] : groups) {
        ordered.push_back(std::move(group));
    }
    return ordered;
}

std::string tableName(const Group& group) {
    return "veltrane_" + std::to_string(group.slot) + "_" + std::to_string(group.rank) +
           (group.port ? "_" + std::to_string(*group.port) : "");
}

} // namespace

namespace PfAnchorRules {

int inboundPipe(int slot) {
    return 2 * slot - 1;
}
int outboundPipe(int slot) {
    return 2 * slot;
}

std::string forLayout(const ShapingLayout& layout) {
    std::string tables;
    std::string rules;
    for (const Group& group : groupsOf(layout)) {
        // A port on any address needs no table.
        std::string where = "any";
        if (!group.addresses.empty()) {
            where = "<" + tableName(group) + ">";
            std::string list;
            for (const auto& address : group.addresses) {
                list += (list.empty() ? "" : ", ") + address;
            }
            tables += "table " + where + " { " + list + " }\n";
        }
        const std::string port = group.port ? " port " + std::to_string(*group.port) : "";
        for (const char* protocol : {"tcp", "udp"}) {
            rules += std::string("dummynet in quick proto ") + protocol + " from " + where + port +
                     " to any pipe " + std::to_string(inboundPipe(group.slot)) + "\n";
        }
        for (const char* protocol : {"tcp", "udp"}) {
            rules += std::string("dummynet out quick proto ") + protocol + " from any to " + where +
                     port + " pipe " + std::to_string(outboundPipe(group.slot)) + "\n";
        }
    }
    if (const ScopedPlan* machine = layout.machine()) {
        for (const char* direction : {"in", "out"}) {
            const int pipe = direction == std::string("in") ? inboundPipe(machine->slot)
                                                            : outboundPipe(machine->slot);
            for (const char* protocol : {"tcp", "udp"}) {
                rules += std::string("dummynet ") + direction + " proto " + protocol +
                         " from any to any pipe " + std::to_string(pipe) + "\n";
            }
        }
    }
    return tables + rules;
}

} // namespace PfAnchorRules
