// SPDX-License-Identifier: MIT
#include "TrafficControlFilters.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

struct Family {
    const char* protocol;
    const char* u32Match;
    int bits;
    int machinePreference;
    int destinationBase;
};
constexpr Family kIPv4{"ip", "ip", 32, 22100, 10000};
constexpr Family kIPv6{"ipv6", "ip6", 128, 22101, 14000};
constexpr const char* kTransportProtocols[] = {"6", "17"}; // TCP, UDP
constexpr int kRestorePreferenceBase = 8000;
constexpr int kMarkPreferenceBase = 9000;

// Slots 1 to 9 fit in the last digit, so each rank of specificity takes ten
// preferences.
constexpr int kPreferencesPerRank = 10;

// 0 for the most specific: a whole address with a port.
int rankOf(const Destination& destination, const Family& family) {
    const int prefix =
        destination.kind == Destination::Kind::network ? destination.prefixLength : 0;
    return (family.bits - prefix) * 2 + (destination.port ? 0 : 1);
}

std::vector<const Family*> familiesOf(const Destination& destination) {
    if (destination.kind != Destination::Kind::network) {
        return {&kIPv4, &kIPv6};
    }
    return {destination.isIPv6 ? &kIPv6 : &kIPv4};
}

std::vector<std::string> protocolMatch(const Family& family, const char* transport) {
    return {"u32", "match", family.u32Match, "protocol", transport, "0xff"};
}

std::vector<TrafficControlFilters::Filter>
destinationFilters(const ScopedPlan& throttle, TrafficControlFilters::Direction direction) {
    const bool outbound = direction == TrafficControlFilters::Direction::outbound;
    std::vector<TrafficControlFilters::Filter> filters;
    for (const Destination& destination : throttle.scope.destinations) {
        for (const Family* family : familiesOf(destination)) {
            const int preference = family->destinationBase +
                                   rankOf(destination, *family) * kPreferencesPerRank +
                                   throttle.slot;
            for (const char* transport : kTransportProtocols) {
                std::vector<std::string> match = protocolMatch(*family, transport);
                if (destination.kind == Destination::Kind::network &&
                    destination.prefixLength > 0) {
                    match.insert(match.end(), {"match", family->u32Match, outbound ? "dst" : "src",
                                               destination.addressText()});
                }
                // u32 reads the port where it is behind a header without
                // options, as nearly every packet has it.
                if (destination.port) {
                    match.insert(match.end(),
                                 {"match", family->u32Match, outbound ? "dport" : "sport",
                                  std::to_string(*destination.port), "0xffff"});
                }
                filters.push_back({family->protocol, preference, std::move(match)});
            }
        }
    }
    // Grouped by preference: what one preference holds is added together.
    std::stable_sort(filters.begin(), filters.end(),
                     [](const auto& a, const auto& b) { return a.preference < b.preference; });
    return filters;
}

} // namespace

namespace TrafficControlFilters {

std::vector<Filter> of(const ScopedPlan& throttle, Direction direction) {
    switch (throttle.scope.kind()) {
    case ThrottleScope::Kind::machine: {
        std::vector<Filter> filters;
        for (const Family* family : {&kIPv4, &kIPv6}) {
            for (const char* transport : kTransportProtocols) {
                filters.push_back({family->protocol, family->machinePreference,
                                   protocolMatch(*family, transport)});
            }
        }
        return filters;
    }
    case ThrottleScope::Kind::destinations:
        return destinationFilters(throttle, direction);
    case ThrottleScope::Kind::command:
    case ThrottleScope::Kind::application: {
        // The mark is on every packet a socket of the command sends, of any
        // protocol; what arrives carries it only once its connection's mark
        // is restored.
        Filter marked{
            "all", kMarkPreferenceBase + throttle.slot, {"handle", markOf(throttle), "fw"}};
        if (direction == Direction::outbound) {
            return {marked};
        }
        Filter restore{"all",
                       kRestorePreferenceBase + throttle.slot,
                       {"u32", "match", "u32", "0", "0", "action", "connmark", "continue"},
                       false};
        return {restore, marked};
    }
    }
    return {};
}

std::string markOf(const ScopedPlan& throttle) {
    // The low half counts the engine's throttles round, past the slots'
    // numbers of a script that has no ids; a mark comes again only after
    // 65,535 throttles, long after any connection of the first has closed.
    constexpr std::uint64_t kMarks = 0xffff;
    const auto number = throttle.id != 0 ? unsigned(1 + (throttle.id - 1) % kMarks)
                                         : static_cast<unsigned>(throttle.slot);
    char text[16];
    std::snprintf(text, sizeof text, "0x5654%04x", number);
    return text;
}

std::vector<Filter> preferences(const ScopedPlan& throttle, Direction direction) {
    std::vector<Filter> taken;
    for (const Filter& filter : of(throttle, direction)) {
        const bool seen = std::any_of(taken.begin(), taken.end(), [&](const Filter& each) {
            return each.protocol == filter.protocol && each.preference == filter.preference;
        });
        if (!seen) {
            taken.push_back({filter.protocol, filter.preference, {}});
        }
    }
    return taken;
}

} // namespace TrafficControlFilters
