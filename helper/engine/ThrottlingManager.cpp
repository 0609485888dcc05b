// SPDX-License-Identifier: MIT
#include "ThrottlingManager.h"

#include "HelperError.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

ThrottlingManager::ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend)
    : m_logger(logger)
    , m_backend(std::move(backend)) {}

std::uint64_t ThrottlingManager::enableThrottling(const ThrottleParameters& requested,
                                                  const ThrottleScope& scope, const IsLate& isLate,
                                                  const ThrottleSchedule& schedule) {
    // The service front checks first; this guard keeps out-of-range values
    // away from the tools even for a caller that forgot.
    for (const auto& failure : {requested.check(), scope.check(), schedule.check()}) {
        if (failure) {
            throw HelperError::validationFailed(*failure);
        }
    }
    const ThrottleSchedule::Position start = schedule.at(0, requested);
    const ThrottleParameters parameters = start.parameters.inSteps();

    const std::lock_guard lock(m_stateLock);
    const bool machine = scope.isMachine();
    const std::uint64_t id = m_lastId + 1;
    // The optional conditions only when asked for, so that a request of the
    // five reads as it always did.
    m_logger.log(machine ? "Enabling throttling: " + parameters.logText()
                         : "Enabling throttle " + std::to_string(id) + " " + scope.logText() +
                               ": " + parameters.logText());

    // Every phase is shaped some time: the backend must take them all now.
    for (std::size_t index = 0; index <= schedule.phases.size(); ++index) {
        const ThrottleParameters& conditions =
            index == 0 ? requested : schedule.phases[index - 1].parameters;
        if (const auto why = refusal(conditions.inSteps(), scope)) {
            m_logger.log("Refused: " + *why);
            throw HelperError::validationFailed(*why);
        }
    }
    m_lastId = id;
    std::vector<Throttle> next;
    for (const Throttle& throttle : m_throttles) {
        if (!machine || !throttle.scope.isMachine()) {
            next.push_back(throttle);
        }
    }
    next.push_back({id, machine ? ScopedPlan::kMachineSlot : freeSlot(), scope, parameters,
                    start.blocksDownload, start.blocksUpload});

    const ShapingPlan plan = ShapingPlan::from(parameters);
    const auto logPipeConfig = [&] {
        if (machine) {
            m_logger.log(
                "Pipe config: download latency=" + std::to_string(plan.download.latencyMs) +
                "ms (with loss), upload latency=" + std::to_string(plan.upload.latencyMs) +
                "ms (no loss)");
        }
    };
    shape(std::move(next), logPipeConfig, isLate);
    m_logger.log(machine ? std::string("Throttling enabled successfully")
                         : "Throttle " + std::to_string(id) + " enabled");
    return id;
}

bool ThrottlingManager::changeConditions(std::uint64_t id,
                                         const ThrottleSchedule::Position& position) {
    return changeInPlace(id, [&](Throttle& throttle) {
        throttle.parameters = position.parameters.inSteps();
        throttle.blocksDownload = position.blocksDownload;
        throttle.blocksUpload = position.blocksUpload;
        return true;
    });
}

bool ThrottlingManager::changeCgroups(std::uint64_t id, const std::vector<std::string>& cgroups) {
    return changeInPlace(id, [&](Throttle& throttle) {
        if (throttle.scope.kind() != ThrottleScope::Kind::application) {
            return false;
        }
        throttle.scope.cgroups = cgroups;
        if (const auto refusal = m_backend->refusal(throttle.parameters, throttle.scope)) {
            throw HelperError::validationFailed(*refusal);
        }
        return true;
    });
}

bool ThrottlingManager::changeInPlace(std::uint64_t id,
                                      const std::function<bool(Throttle&)>& change) {
    const std::lock_guard lock(m_stateLock);
    std::vector<Throttle> next = m_throttles;
    const auto changed =
        std::find_if(next.begin(), next.end(), [id](const Throttle& t) { return t.id == id; });
    if (changed == next.end() || !m_isActive || !change(*changed)) {
        return false;
    }
    const ShapingLayout layout = layoutOf(next);
    if (layout == layoutOf(m_throttles)) {
        return true;
    }
    // Never torn down and shaped afresh: that would touch every other
    // throttle, ten times a second with a trace.
    if (!m_backend->changeConditions(layout)) {
        throw HelperError::commandFailed("Throttle " + std::to_string(id) +
                                         " could not be changed in place");
    }
    keep(std::move(next));
    return true;
}

std::vector<std::uint64_t> ThrottlingManager::endThrottles(const std::vector<std::uint64_t>& ids) {
    const std::lock_guard lock(m_stateLock);
    std::vector<Throttle> next;
    std::vector<std::uint64_t> ended;
    for (const Throttle& throttle : m_throttles) {
        if (std::find(ids.begin(), ids.end(), throttle.id) == ids.end()) {
            next.push_back(throttle);
        } else {
            ended.push_back(throttle.id);
        }
    }
    if (ended.empty()) {
        return ended;
    }
    std::string names;
    for (const std::uint64_t id : ended) {
        names += (names.empty() ? "" : ", ") + std::to_string(id);
    }
    const std::string name = (ended.size() == 1 ? "throttle " : "throttles ") + names;
    m_logger.log("Ending " + name);
    if (next.empty()) {
        cleanupRules();
        keep({});
        m_isActive = false;
    } else {
        shape(std::move(next), [] {}, {});
    }
    m_logger.log("Ended " + name);
    return ended;
}

void ThrottlingManager::shape(std::vector<Throttle> next, const std::function<void()>& beforeApply,
                              const IsLate& isLate) {
    const ShapingLayout layout = layoutOf(next);
    const bool wasActive = m_isActive;
    if (wasActive && m_backend->changeShaping(layout)) {
        beforeApply();
        keep(std::move(next));
        return;
    }

    // The throttles of others that a new one joins must not end with it
    // when it cannot be shaped.
    std::vector<Throttle> kept;
    for (const Throttle& throttle : next) {
        if (std::any_of(m_throttles.begin(), m_throttles.end(),
                        [&](const Throttle& was) { return was.id == throttle.id; })) {
            kept.push_back(throttle);
        }
    }
    const bool addsOne = kept.size() < next.size();
    // A change in place that failed for lack of time is not tried again from
    // nothing, which would fail the same way and leave nothing in its place:
    // what was on is shaped again in the rest of the call's time.
    const bool late = wasActive && addsOne && isLate && isLate();
    cleanupRules();
    // What was in force is gone, and a failed apply leaves nothing that
    // shapes: traffic control takes back what it made, and what pf noted
    // passes no traffic without its anchor. What stays on record goes with
    // the next clean-up.
    m_isActive = false;
    keep({});
    if (late) {
        applyAgain(std::move(kept));
        throw HelperError::commandFailed("The change in place did not finish in time");
    }
    beforeApply();
    try {
        m_backend->applyShaping(layout);
    } catch (...) {
        if (isLate) {
            isLate();
        }
        // Shaping again what just failed would fail the same way.
        applyAgain(addsOne ? std::move(kept) : std::vector<Throttle>{});
        throw;
    }

    m_isActive = true;
    keep(std::move(next));
}

void ThrottlingManager::applyAgain(std::vector<Throttle> kept) noexcept {
    try {
        // What the failed change made and did not take back itself (pf
        // keeps it; a tool it ran out of time for) must not stay, and would
        // stand in the way. What cannot be removed stays on record for the
        // next clean-up.
        if (m_backend->hasRecordedChanges()) {
            m_backend->removeShaping();
        }
        if (kept.empty()) {
            return;
        }
        m_backend->applyShaping(layoutOf(kept));
        m_isActive = true;
        keep(std::move(kept));
        m_logger.log("Shaped again the " + std::to_string(m_throttles.size()) +
                     " throttles that were on before");
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to shape again the throttles that were on before: ") +
                     error.what());
    }
}

void ThrottlingManager::restore(const std::vector<Throttle>& throttles) {
    const std::lock_guard lock(m_stateLock);
    if (!m_throttles.empty()) {
        throw HelperError::validationFailed("Throttles are in force already");
    }
    try {
        for (const Throttle& throttle : throttles) {
            const bool machine = throttle.scope.isMachine();
            std::optional<std::string> why = throttle.parameters.check();
            if (!why) {
                why = throttle.scope.check();
            }
            if (!why) {
                why = refusal(throttle.parameters, throttle.scope);
            }
            if (why ||
                (machine && std::any_of(m_throttles.begin(), m_throttles.end(),
                                        [](const Throttle& t) { return t.scope.isMachine(); }))) {
                throw HelperError::validationFailed(
                    why.value_or("Only one throttle can cover the whole machine"));
            }
            m_logger.log("Restoring throttle " + std::to_string(throttle.id) +
                         (machine ? std::string() : " " + throttle.scope.logText()) + ": " +
                         throttle.parameters.inSteps().logText());
            // Each takes its slot before the next one is checked.
            m_throttles.push_back({throttle.id, machine ? ScopedPlan::kMachineSlot : freeSlot(),
                                   throttle.scope, throttle.parameters.inSteps(),
                                   throttle.blocksDownload, throttle.blocksUpload});
            m_lastId = std::max(m_lastId, throttle.id);
        }
        if (!m_throttles.empty()) {
            m_backend->applyShaping(layoutOf(m_throttles));
            m_isActive = true;
        }
    } catch (...) {
        keep({});
        throw;
    }
    keep(std::move(m_throttles));
}

void ThrottlingManager::keep(std::vector<Throttle> throttles) {
    m_throttles = std::move(throttles);
    std::vector<std::pair<int, std::uint64_t>> slotIds;
    for (const Throttle& throttle : m_throttles) {
        slotIds.emplace_back(throttle.slot, throttle.id);
    }
    m_slotOwners.set(std::move(slotIds));
}

std::vector<ThrottleStatistics> ThrottlingManager::statistics() const {
    return m_slotOwners.figuresOf(m_backend->statistics());
}

std::optional<std::string> ThrottlingManager::refusal(const ThrottleParameters& parameters,
                                                      const ThrottleScope& scope) const {
    if (!scope.isMachine()) {
        const auto scoped = std::count_if(m_throttles.begin(), m_throttles.end(),
                                          [](const Throttle& t) { return !t.scope.isMachine(); });
        if (std::size_t(scoped) >= kMaxScopedThrottles) {
            return "At most " + std::to_string(kMaxScopedThrottles) +
                   " scoped throttles can be on at once; end one first";
        }
    }
    return m_backend->refusal(parameters, scope);
}

int ThrottlingManager::freeSlot() const {
    for (int slot = ScopedPlan::kMachineSlot + 1; slot <= ScopedPlan::kLastSlot; ++slot) {
        if (std::none_of(m_throttles.begin(), m_throttles.end(),
                         [slot](const Throttle& t) { return t.slot == slot; })) {
            return slot;
        }
    }
    // refusal() keeps the scoped ones within the slots.
    throw HelperError::validationFailed("No slot is free for another throttle");
}

ShapingLayout ThrottlingManager::layoutOf(const std::vector<Throttle>& throttles) const {
    ShapingLayout layout;
    for (const Throttle& throttle : throttles) {
        layout.throttles.push_back({throttle.slot, throttle.scope,
                                    ShapingPlan::from(throttle.parameters)
                                        .blocking(throttle.blocksDownload, throttle.blocksUpload),
                                    throttle.id});
    }
    std::sort(layout.throttles.begin(), layout.throttles.end(),
              [](const ScopedPlan& a, const ScopedPlan& b) { return a.slot < b.slot; });
    return layout;
}

void ThrottlingManager::disableThrottling() {
    const std::lock_guard lock(m_stateLock);
    m_logger.log("Disabling throttling");
    cleanupRules();
    m_isActive = false;
    keep({});
    m_logger.log("Throttling disabled");
}

std::optional<std::string> ThrottlingManager::removeLeftovers() noexcept {
    const std::lock_guard lock(m_stateLock);
    m_backend->removeTemporaryLeftovers();
    auto failure = removeRecordedShaping("Removed shaping left by an earlier helper process");
    m_isActive = failure.has_value();
    keep({});
    return failure;
}

void ThrottlingManager::shutDown() noexcept {
    const std::lock_guard lock(m_stateLock);
    removeRecordedShaping("Removed shaping before stopping");
    m_isActive = false;
    keep({});
}

std::optional<std::string>
ThrottlingManager::removeRecordedShaping(const char* doneMessage) noexcept {
    try {
        if (!m_backend->hasRecordedChanges()) {
            return std::nullopt;
        }
        m_backend->removeShaping();
        m_logger.log(doneMessage);
        return std::nullopt;
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to remove shaping: ") + error.what());
        return error.what();
    } catch (...) {
        m_logger.log("Failed to remove shaping: unknown error");
        return "unknown error";
    }
}

void ThrottlingManager::followUplinks() noexcept {
    const std::lock_guard lock(m_stateLock);
    if (m_isActive) {
        m_backend->followUplinks();
    }
}

void ThrottlingManager::prepareForChange() noexcept {
    const std::lock_guard lock(m_stateLock);
    m_backend->prepareForChange();
}

void ThrottlingManager::continueIdsAfter(std::uint64_t lastId) {
    const std::lock_guard lock(m_stateLock);
    m_lastId = std::max(m_lastId, lastId);
}

bool ThrottlingManager::isActive() const {
    const std::lock_guard lock(m_stateLock);
    return m_isActive;
}

std::vector<ThrottlingManager::Throttle> ThrottlingManager::throttles() const {
    const std::lock_guard lock(m_stateLock);
    return m_throttles;
}

void ThrottlingManager::cleanupRules() {
    try {
        m_backend->removeShaping();
    } catch (const HelperError& error) {
        if (error.kind() == HelperError::Kind::cleanupIncomplete) {
            m_isActive = true;
            // What is left is no one's: the throttles it belonged to are over.
            keep({});
        }
        throw;
    }
}
