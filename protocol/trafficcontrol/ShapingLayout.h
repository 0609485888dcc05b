// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingPlan.h"
#include "ThrottleScope.h"

#include <cstdint>
#include <vector>

// One throttle as an engine shapes it: what it shapes and how.
struct ScopedPlan {
    // The slot of the whole-machine throttle; scoped ones take the slots
    // after it, up to kLastSlot. A throttle keeps its slot while it is on,
    // so an engine can name its classes, marks and pipes after it.
    static constexpr int kMachineSlot = 1;
    static constexpr int kLastSlot = 9;

    int slot = kMachineSlot;
    ThrottleScope scope;
    ShapingPlan plan;
    // The throttle's id where an engine gives one (0 in an exported
    // script): a command's packets are marked after it, so that a mark is
    // never taken for another throttle's that had its slot before.
    std::uint64_t id = 0;

    bool operator==(const ScopedPlan&) const = default;
};

// Every throttle in force at once, in the order of their slots. At most one
// covers the whole machine, and only in kMachineSlot.
struct ShapingLayout {
    std::vector<ScopedPlan> throttles;

    // The layout of one whole-machine throttle: what shaping was before
    // throttles could be scoped.
    static ShapingLayout wholeMachine(const ShapingPlan& plan) {
        return {{ScopedPlan{ScopedPlan::kMachineSlot, {}, plan}}};
    }
    // The whole-machine throttle, if there is one.
    const ScopedPlan* machine() const {
        for (const ScopedPlan& throttle : throttles) {
            if (throttle.scope.isMachine()) {
                return &throttle;
            }
        }
        return nullptr;
    }
    bool empty() const { return throttles.empty(); }

    bool operator==(const ShapingLayout&) const = default;
};
