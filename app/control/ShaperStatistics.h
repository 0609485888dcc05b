// SPDX-License-Identifier: MIT
#pragma once

#include <QVariantMap>

#include <optional>

// What one direction's shaper has done, as the helper tells it: counters
// since it was set up, and what waits in it now.
struct ShaperDirection {
    // Passed on, link-layer headers included.
    quint64 bytes = 0;
    quint64 packets = 0;
    // By the loss setting and by a full queue together.
    quint64 dropped = 0;
    quint64 queuedPackets = 0;
    quint64 queuedBytes = 0;
    // What waits, as time at the direction's bandwidth; none when unlimited.
    std::optional<quint64> queueMs = std::nullopt;

    bool operator==(const ShaperDirection&) const = default;
};

// One reading of the helper's shaping (GetStatistics).
struct ShaperStatistics {
    // Shaping is in force; nothing else is known without it.
    bool active = false;
    // When the helper read the figures, in milliseconds of its own monotonic
    // clock: comparable only with another reading of the same helper.
    quint64 takenAtMs = 0;
    // Absent where no shaper of that direction was found.
    std::optional<ShaperDirection> download = std::nullopt;
    std::optional<ShaperDirection> upload = std::nullopt;

    // Keys it does not know are ignored; a value of the wrong type counts
    // as absent.
    static ShaperStatistics fromWire(const QVariantMap& wire);

    bool operator==(const ShaperStatistics&) const = default;
};
