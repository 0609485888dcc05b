// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"
#include "ShapingStatistics.h"
#include "ThrottleParameters.h"

#include <optional>
#include <string>

// The kernel mechanism that shapes traffic. The engine owns the lock, the
// state and the log lines every mechanism shares; a backend runs the tools and
// keeps the record of what it changed, so that another process can undo it.
class ShapingBackend {
public:
    virtual ~ShapingBackend() = default;

    // Why the mechanism cannot shape `parameters` in `scope` as asked,
    // naming the condition or the scope; nothing when it can. Asked before
    // anything in force is touched: a condition it would leave out is
    // refused, never dropped.
    virtual std::optional<std::string> refusal(const ThrottleParameters&,
                                               const ThrottleScope&) const {
        return std::nullopt;
    }

    // Shapes every throttle of `layout` from nothing. Throws HelperError, or
    // the runner's errors (a tool that cannot start or runs too long). What a
    // failure leaves behind is the backend's to say.
    virtual void applyShaping(const ShapingLayout& layout) = 0;

    // While `applyShaping` is in force: makes `layout` the shaping in force
    // without taking away what stays (a throttle added or ended, another's
    // conditions changed), so that no packet passes unshaped in between.
    // False when it cannot (the interfaces changed, a tool refused); what it
    // changed until then goes with the clean-up that follows.
    virtual bool changeShaping(const ShapingLayout&) { return false; }

    // As changeShaping, where only the conditions of throttles in force
    // change, each in its slot and scope: a schedule's step, which comes up
    // to ten times a second. So it logs nothing, and a backend that cannot
    // change a layout in place may still change conditions. False when the
    // layout's throttles are not those in force; throws HelperError, or the
    // runner's errors, when a tool fails, and what it changed until then
    // stays (the next step changes it again).
    virtual bool changeConditions(const ShapingLayout& layout) { return changeShaping(layout); }

    // Removes everything its record lists, carrying on past failing tools.
    // What could not be removed stays on record for the next try, and then
    // it throws HelperError::cleanupIncomplete naming each failure. Throws
    // other HelperErrors when it cannot tell what there is to remove.
    virtual void removeShaping() = 0;

    // Whether a record of changes exists: shaping may be in force.
    virtual bool hasRecordedChanges() const = 0;

    // Removes temporary files an earlier process left half-written.
    virtual void removeTemporaryLeftovers() noexcept {}

    // While shaping: shapes uplinks that came up or were re-created since.
    virtual void followUplinks() noexcept {}

    // Between changes: gets ready for the next one (starts its tools
    // ahead), so that the call that changes waits less.
    virtual void prepareForChange() noexcept {}

    // What the shaping in force has passed, dropped and queued so far. Runs
    // on a thread of its own while the other calls may run: it takes none of
    // their locks and changes nothing, so a reading never waits for a change.
    // Throws HelperError, or the runner's errors.
    virtual ShapingStatistics statistics() const = 0;
};
