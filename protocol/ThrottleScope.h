// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What traffic one throttle shapes: the whole machine, traffic to and from
// some destinations, or the traffic of one command's processes. When scopes
// overlap the most specific wins: a command, then a destination, then the
// whole machine.
struct ThrottleScope {
    enum class Kind { machine, destinations, command };

    static constexpr std::size_t kMaxDestinations = 64;
    // The longest destination a user can type: a host name of 253
    // characters (a DNS name's most) and a port. With the counts bounded,
    // so is every throttle's part of the helper's state.
    static constexpr std::size_t kMaxNameLength = 253 + std::size_t(sizeof ":65535") - 1;

    // Addresses and networks, each with an optional port, or a port on any
    // address. What the helper shapes never holds a host name: the client
    // resolves names when it switches the throttle on, because the helper
    // may not reach a resolver.
    std::vector<Destination> destinations;
    // The destinations as the user typed them (host names included), shown
    // beside the addresses in force; never used to classify.
    std::vector<std::string> names;
    // The command's cgroup v2, relative to the cgroup2 mount, such as
    // "user.slice/user-1000.slice/veltrane-run-42.scope".
    std::string cgroup;

    // A cgroup makes a command's scope, whatever else is set.
    Kind kind() const;
    bool isMachine() const { return kind() == Kind::machine; }

    // Why the helper cannot shape this scope; nothing when it can. Host
    // names, too many destinations, names too long and malformed cgroup
    // paths are refused.
    std::optional<std::string> check() const;

    bool operator==(const ThrottleScope&) const = default;
};
