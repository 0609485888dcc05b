// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"

#include <optional>
#include <vector>

// What a backend read of the shaping in force: each throttle's shapers, by
// the slot the throttle is shaped in (see ScopedPlan), summed over the
// uplinks. A direction is absent where no shaper of it was found: none in
// force, or one being set up or taken down right now; a slot with neither
// is not listed.
struct ShapingStatistics {
    struct Slot {
        int slot = 0;
        std::optional<DirectionStatistics> download = std::nullopt;
        std::optional<DirectionStatistics> upload = std::nullopt;

        bool operator==(const Slot&) const = default;
    };
    // In the order of their slots.
    std::vector<Slot> bySlot;

    // The figures of `slot`, or nothing.
    const Slot* of(int slot) const {
        for (const Slot& each : bySlot) {
            if (each.slot == slot) {
                return &each;
            }
        }
        return nullptr;
    }

    bool operator==(const ShapingStatistics&) const = default;
};
