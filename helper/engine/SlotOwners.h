// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"
#include "ShapingStatistics.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

// Which throttle each slot shapes, for the statistics: they are read beside
// a change, and must not wait for the engine's lock.
class SlotOwners final {
public:
    void set(std::vector<std::pair<int, std::uint64_t>> slotIds) {
        const std::lock_guard lock(m_lock);
        m_slotIds = std::move(slotIds);
    }

    // Each throttle's figures of `read`, in the order they were set.
    std::vector<ThrottleStatistics> figuresOf(const ShapingStatistics& read) const {
        std::vector<std::pair<int, std::uint64_t>> slotIds;
        {
            const std::lock_guard lock(m_lock);
            slotIds = m_slotIds;
        }
        std::vector<ThrottleStatistics> figures;
        for (const auto& [slot, id] : slotIds) {
            if (const ShapingStatistics::Slot* found = read.of(slot)) {
                figures.push_back({id, found->download, found->upload});
            }
        }
        return figures;
    }

private:
    std::vector<std::pair<int, std::uint64_t>> m_slotIds;
    mutable std::mutex m_lock;
};
