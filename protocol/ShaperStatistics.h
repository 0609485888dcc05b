// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// What one direction's shaper has done since it was set up, summed over the
// uplinks it shapes. netem and dummynet count the packets their loss setting
// drops and those a full queue drops in one counter, so `dropped` holds both.
struct DirectionStatistics {
    // What the shaper passed on, as the link carries it (link-layer headers
    // included).
    std::uint64_t bytes = 0;
    std::uint64_t packets = 0;
    std::uint64_t dropped = 0;
    // What waits in it now: behind the rate, or for its delay to pass.
    std::uint64_t queuedBytes = 0;
    std::uint64_t queuedPackets = 0;
    // What waits, as time at the direction's bandwidth; none when unlimited.
    std::optional<std::uint64_t> queueMs = std::nullopt;

    DirectionStatistics& operator+=(const DirectionStatistics& other);
    bool operator==(const DirectionStatistics&) const = default;
};

// One throttle's shapers. A direction is absent where none was found: being
// set up or taken down just then.
struct ThrottleStatistics {
    // The throttle's id, as the state lists it.
    std::uint64_t id = 0;
    std::optional<DirectionStatistics> download = std::nullopt;
    std::optional<DirectionStatistics> upload = std::nullopt;

    bool operator==(const ThrottleStatistics&) const = default;
};

// One reading of the helper's shaping (GetStatistics).
struct ShaperStatistics {
    // Shaping is in force; nothing else is known without it.
    bool active = false;
    // When the helper read the figures, in milliseconds of its own monotonic
    // clock: comparable only with another reading of the same helper.
    std::uint64_t takenAtMs = 0;
    // Those of the throttle the state's configuration describes (the whole
    // machine's when it is on, else the newest), so that a client that
    // knows one throttle reads figures of the conditions it shows.
    std::optional<DirectionStatistics> download = std::nullopt;
    std::optional<DirectionStatistics> upload = std::nullopt;
    // Every throttle's own, oldest first.
    std::vector<ThrottleStatistics> throttles = {};

    // The figures of throttle `id`, if it was read.
    const ThrottleStatistics* throttle(std::uint64_t id) const;

    bool operator==(const ShaperStatistics&) const = default;
};
