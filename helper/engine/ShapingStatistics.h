// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

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

    DirectionStatistics& operator+=(const DirectionStatistics& other) {
        bytes += other.bytes;
        packets += other.packets;
        dropped += other.dropped;
        queuedBytes += other.queuedBytes;
        queuedPackets += other.queuedPackets;
        return *this;
    }
    bool operator==(const DirectionStatistics&) const = default;
};

// A direction is absent where no shaper of it was found: none in force, or
// one being set up or taken down right now.
struct ShapingStatistics {
    std::optional<DirectionStatistics> download;
    std::optional<DirectionStatistics> upload;

    bool operator==(const ShapingStatistics&) const = default;
};
