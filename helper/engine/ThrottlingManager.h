// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingBackend.h"
#include "SlotOwners.h"
#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Logger;

// Turns throttles into traffic shaping in the kernel and takes them away
// again: at most one for the whole machine and up to kMaxScopedThrottles
// scoped ones, shaped together as one layout. One per daemon; every client
// shares it.
class ThrottlingManager final {
public:
    static constexpr std::size_t kMaxScopedThrottles = 8;

    // One throttle in force. Its id grows with every enable and is never
    // given again in this process, so that a late request to end a throttle
    // cannot end the one that replaced it.
    struct Throttle {
        std::uint64_t id = 0;
        int slot = 0;
        ThrottleScope scope;
        ThrottleParameters parameters;
        // Nothing passes that way (a schedule's outage); the rest of the
        // shaping stays as `parameters` say.
        bool blocksDownload = false;
        bool blocksUpload = false;
    };

    ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend);
    ThrottlingManager(const ThrottlingManager&) = delete;
    ThrottlingManager& operator=(const ThrottlingManager&) = delete;

    // Removes what an earlier process of the daemon left: shaping it recorded
    // (a crash, a kill) and half-written temporary files. Returns why some
    // shaping could not be removed; it stays on record, and the engine then
    // counts as active.
    std::optional<std::string> removeLeftovers() noexcept;

    // Asked when a change failed, before what was on is shaped again:
    // whether the call's time for the change is up. The caller then gives
    // what follows the rest of its call's time, and the engine takes back
    // what the change made and shapes what was on again, without another
    // try of the change itself.
    using IsLate = std::function<bool()>;

    // The whole machine's scope replaces the whole-machine throttle; any
    // other adds a scoped throttle beside those in force. Returns the new
    // throttle's id. Throws HelperError, or the runner's errors. What fails
    // the checks, the backend's refusal or the bound on scoped throttles
    // throws validationFailed before anything runs. A failure after that
    // undoes this enable alone: the throttles it joined stay in force, as
    // far as they can be shaped again (a whole-machine throttle it replaced
    // is over). With a `schedule`, every phase is checked as the
    // parameters are, and the throttle starts as its first step.
    std::uint64_t enableThrottling(const ThrottleParameters& parameters,
                                   const ThrottleScope& scope = {}, const IsLate& isLate = {},
                                   const ThrottleSchedule& schedule = {});

    // A schedule's step: shapes throttle `id` as `position` says, in place,
    // leaving every other throttle as it is. False when the throttle is no
    // longer in force (the step came after its end), and nothing is made.
    // Throws commandFailed when the backend could not change in place; the
    // throttle then stays as it was, as far as the backend got.
    bool changeConditions(std::uint64_t id, const ThrottleSchedule::Position& position);
    // An application's scopes came or went: marks the packets of
    // `cgroups` for application throttle `id`, in place, leaving its
    // conditions and every other throttle as they are. False when the
    // throttle is no longer in force. Throws as changeConditions does.
    bool changeCgroups(std::uint64_t id, const std::vector<std::string>& cgroups);

    // Ends the throttles of `ids` that are in force and keeps the others, in
    // one change; returns the ids it ended, and runs nothing when none is in
    // force. Throws as enableThrottling.
    std::vector<std::uint64_t> endThrottles(const std::vector<std::uint64_t>& ids);
    bool endThrottle(std::uint64_t id) { return !endThrottles({id}).empty(); }

    // Always runs the full clean-up, active or not, and ends every throttle.
    // Throws HelperError when it cannot tell what to remove; the state is
    // then left as it was. When some shaping could not be removed it throws
    // cleanupIncomplete, and the engine stays active: the shaping may still
    // be in force.
    void disableThrottling();

    // For the start, while nothing is in force: shapes `throttles` afresh,
    // with the ids an earlier process of the daemon gave them, all or none
    // (their slots are chosen anew). Throws as enableThrottling.
    void restore(const std::vector<Throttle>& throttles);

    // Ids from now on come after `lastId`: the last an earlier process of
    // the daemon gave, so that an id a client still has never names another
    // throttle.
    void continueIdsAfter(std::uint64_t lastId);

    bool isActive() const;
    // The throttles in force, oldest first.
    std::vector<Throttle> throttles() const;

    // Shapes uplinks that appeared since the enable; nothing while inactive.
    void followUplinks() noexcept;
    // Between changes (see ShapingBackend::prepareForChange).
    void prepareForChange() noexcept;

    // What each throttle's shaping has done so far, oldest first, read
    // beside whatever change runs, never after it (see
    // ShapingBackend::statistics).
    std::vector<ThrottleStatistics> statistics() const;

    // For the daemon's stop: removes whatever shaping is recorded.
    void shutDown() noexcept;

private:
    // Only with the lock held, as every member below.
    std::optional<std::string> refusal(const ThrottleParameters& parameters,
                                       const ThrottleScope& scope) const;
    int freeSlot() const;
    // Changes throttle `id` in place as `change` edits it, alone; false,
    // and nothing made, when it is not in force or `change` declines.
    bool changeInPlace(std::uint64_t id, const std::function<bool(Throttle&)>& change);
    // Makes `next` the shaping in force: changed in place where the backend
    // can, else removed and applied afresh. On failure only those of `next`
    // that were on before stay, as far as they can be applied again.
    void shape(std::vector<Throttle> next, const std::function<void()>& beforeApply,
               const IsLate& isLate);
    // Shapes what was on before a failed change again, after what the
    // change left is removed.
    void applyAgain(std::vector<Throttle> kept) noexcept;
    // The throttles in force from now on.
    void keep(std::vector<Throttle> throttles);
    ShapingLayout layoutOf(const std::vector<Throttle>& throttles) const;
    void cleanupRules();
    std::optional<std::string> removeRecordedShaping(const char* doneMessage) noexcept;

    const Logger& m_logger;
    std::unique_ptr<ShapingBackend> m_backend;
    bool m_isActive = false;
    std::vector<Throttle> m_throttles;
    std::uint64_t m_lastId = 0;
    // Held for the whole of every enable and disable, tool runs included, so
    // two clients' requests never interleave their commands.
    mutable std::mutex m_stateLock;
    SlotOwners m_slotOwners;
};
