// SPDX-License-Identifier: MIT
#include "ThrottlingManager.h"

#include "HelperError.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

std::string ThrottlingManager::describe(const ThrottleScope& scope) {
    if (!scope.cgroup.empty()) {
        return "only for cgroup " + scope.cgroup;
    }
    std::string text = "only to ";
    for (const Destination& destination : scope.destinations) {
        text += (&destination == &scope.destinations.front() ? "" : ", ") + destination.text();
    }
    return text;
}
ThrottlingManager::ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend)
    : m_logger(logger)
    , m_backend(std::move(backend)) {}

std::uint64_t ThrottlingManager::enableThrottling(const ThrottleParameters& requested,
                                                  const ThrottleScope& scope) {
    // The service front checks first; this guard keeps out-of-range values
    // away from the tools even for a caller that forgot.
    if (const auto failure = requested.check()) {
        throw HelperError::validationFailed(*failure);
    }
    if (const auto failure = scope.check()) {
        throw HelperError::validationFailed(*failure);
    }
    const ThrottleParameters parameters = requested.inSteps();

    const std::lock_guard lock(m_stateLock);
    const bool machine = scope.isMachine();
    const std::uint64_t id = m_lastId + 1;
    // The optional conditions only when asked for, so that a request of the
    // five reads as it always did.
    m_logger.log(machine ? "Enabling throttling: " + parameters.logText()
                         : "Enabling throttle " + std::to_string(id) + " " + describe(scope) +
                               ": " + parameters.logText());

    if (const auto why = refusal(parameters, scope)) {
        m_logger.log("Refused: " + *why);
        throw HelperError::validationFailed(*why);
    }
    m_lastId = id;
    std::vector<Throttle> next;
    for (const Throttle& throttle : m_throttles) {
        if (!machine || !throttle.scope.isMachine()) {
            next.push_back(throttle);
        }
    }
    next.push_back({id, machine ? ScopedPlan::kMachineSlot : freeSlot(), scope, parameters});

    const ShapingPlan plan = ShapingPlan::from(parameters);
    const auto logPipeConfig = [&] {
        if (machine) {
            m_logger.log(
                "Pipe config: download latency=" + std::to_string(plan.download.latencyMs) +
                "ms (with loss), upload latency=" + std::to_string(plan.upload.latencyMs) +
                "ms (no loss)");
        }
    };
    shape(std::move(next), logPipeConfig);
    m_logger.log(machine ? std::string("Throttling enabled successfully")
                         : "Throttle " + std::to_string(id) + " enabled");
    return id;
}

bool ThrottlingManager::endThrottle(std::uint64_t id) {
    const std::lock_guard lock(m_stateLock);
    std::vector<Throttle> next = m_throttles;
    const auto ended = std::find_if(next.begin(), next.end(),
                                    [id](const Throttle& throttle) { return throttle.id == id; });
    if (ended == next.end()) {
        return false;
    }
    const std::string name = "throttle " + std::to_string(id);
    m_logger.log("Ending " + name);
    next.erase(ended);
    if (next.empty()) {
        cleanupRules();
        m_throttles.clear();
        m_isActive = false;
    } else {
        shape(std::move(next), [] {});
    }
    m_logger.log("Ended " + name);
    return true;
}

void ThrottlingManager::shape(std::vector<Throttle> next,
                              const std::function<void()>& beforeApply) {
    const ShapingLayout layout = layoutOf(next);
    if (m_isActive && m_backend->changeShaping(layout)) {
        beforeApply();
        m_throttles = std::move(next);
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
    cleanupRules();
    // What was in force is gone, and a failed apply leaves nothing that
    // shapes: traffic control takes back what it made, and what pf noted
    // passes no traffic without its anchor. What stays on record goes with
    // the next clean-up.
    m_isActive = false;
    m_throttles.clear();
    beforeApply();
    try {
        m_backend->applyShaping(layout);
    } catch (...) {
        if (addsOne) {
            applyAgain(std::move(kept));
        }
        throw;
    }

    m_isActive = true;
    m_throttles = std::move(next);
}

void ThrottlingManager::applyAgain(std::vector<Throttle> kept) noexcept {
    if (kept.empty()) {
        return;
    }
    try {
        m_backend->applyShaping(layoutOf(kept));
        m_isActive = true;
        m_throttles = std::move(kept);
        m_logger.log("Shaped again the " + std::to_string(m_throttles.size()) +
                     " throttles that were on before");
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to shape again the throttles that were on before: ") +
                     error.what());
    }
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
        layout.throttles.push_back(
            {throttle.slot, throttle.scope, ShapingPlan::from(throttle.parameters)});
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
    m_throttles.clear();
    m_logger.log("Throttling disabled");
}

std::optional<std::string> ThrottlingManager::removeLeftovers() noexcept {
    const std::lock_guard lock(m_stateLock);
    m_backend->removeTemporaryLeftovers();
    auto failure = removeRecordedShaping("Removed shaping left by an earlier helper process");
    m_isActive = failure.has_value();
    m_throttles.clear();
    return failure;
}

void ThrottlingManager::shutDown() noexcept {
    const std::lock_guard lock(m_stateLock);
    removeRecordedShaping("Removed shaping before stopping");
    m_isActive = false;
    m_throttles.clear();
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
            m_throttles.clear();
        }
        throw;
    }
}
