// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What traffic one throttle shapes: the whole machine, traffic to and from
// some destinations, the traffic of one command's processes, or that of one
// desktop application's, in every scope the user's systemd manager runs it
// in. When scopes overlap the most specific wins: a command or an
// application, then a destination, then the whole machine.
struct ThrottleScope {
    enum class Kind { machine, destinations, command, application };

    static constexpr std::size_t kMaxDestinations = 64;
    // The longest destination a user can type: a host name of 253
    // characters (a DNS name's most) and a port. With the counts bounded,
    // so is every throttle's part of the helper's state.
    static constexpr std::size_t kMaxNameLength = 253 + std::size_t(sizeof ":65535") - 1;
    // An application's scopes in force at once: a window each, at most, on
    // desktops that start every window in a scope of its own.
    static constexpr std::size_t kMaxCgroups = 64;
    // A desktop id, as its desktop entry's file is named.
    static constexpr std::size_t kMaxApplicationLength = 255;

    // Addresses and networks, each with an optional port, or a port on any
    // address. What the helper shapes never holds a host name: the client
    // resolves names when it switches the throttle on, because the helper
    // may not reach a resolver.
    std::vector<Destination> destinations = {};
    // The destinations as the user typed them (host names included), shown
    // beside the addresses in force; never used to classify.
    std::vector<std::string> names = {};
    // The cgroups v2 of the processes, relative to the cgroup2 mount, such
    // as "user.slice/user-1000.slice/veltrane-run-42.scope": a command's
    // one, or the application's scopes in force, which the helper finds and
    // follows (none while the application is not running).
    std::vector<std::string> cgroups = {};
    // The desktop id of the application, such as "org.gnome.Terminal".
    std::string application = {};

    // An application makes an application's scope, and a cgroup a
    // command's, whatever else is set.
    Kind kind() const;
    bool isMachine() const { return kind() == Kind::machine; }
    // How the helper's log names a scope other than the whole machine's:
    // "only to 10.0.0.1, :443", "only for cgroup C", "only for application A".
    std::string logText() const;

    // Why the helper cannot shape this scope; nothing when it can. Host
    // names, too many destinations, cgroups or scopes at once, names too
    // long, malformed cgroup paths and desktop ids are refused.
    std::optional<std::string> check() const;
    // Whether `id` can name an application: a desktop id of letters, digits
    // and "._+-", as its entry's file is named.
    static bool isApplicationId(std::string_view id);
    // Whether `path` lies below the cgroup2 mount and cannot leave it:
    // relative, without "." or ".." components or empty ones, without
    // control characters.
    static bool isCgroupPath(std::string_view path);

    bool operator==(const ThrottleScope&) const = default;
};
