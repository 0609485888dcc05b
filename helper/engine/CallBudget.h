// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

// How long one call that changes throttling may take, from its arrival to its
// answer: queueing, tool runs and undoing a change that came too late, all
// in one bound, however many tools hang on the way.
inline constexpr std::chrono::milliseconds kCallDeadline = std::chrono::seconds(45);

struct CallBudget {
    std::chrono::milliseconds total = kCallDeadline;
    // When a call whose change is still running is answered anyway; the
    // total, but for tests of a change that lands after its answer.
    std::chrono::milliseconds answer = total;

    // The change itself must be done within two thirds of the budget; the
    // last third is kept for undoing a change that did not finish in time.
    std::chrono::milliseconds forChange() const { return total * 2 / 3; }
};
