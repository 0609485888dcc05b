// SPDX-License-Identifier: MIT
#include "ThrottlingManager.h"

#include "HelperError.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <string>
#include <utility>

ThrottlingManager::ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend)
    : m_logger(logger)
    , m_backend(std::move(backend)) {}

void ThrottlingManager::enableThrottling(const ThrottleParameters& requested) {
    // The service front checks first; this guard keeps out-of-range values
    // away from the tools even for a caller that forgot.
    if (const auto failure = requested.check()) {
        throw HelperError::validationFailed(*failure);
    }
    const ThrottleParameters parameters = requested.inSteps();

    const std::lock_guard lock(m_stateLock);
    // The optional conditions only when asked for, so that a request of the
    // five reads as it always did.
    m_logger.log("Enabling throttling: " + parameters.logText());

    if (const auto refusal = m_backend->refusal(parameters, ThrottleScope{})) {
        m_logger.log("Refused: " + *refusal);
        throw HelperError::validationFailed(*refusal);
    }
    const ShapingPlan plan = ShapingPlan::from(parameters);
    const auto logPipeConfig = [&] {
        m_logger.log("Pipe config: download latency=" + std::to_string(plan.download.latencyMs) +
                     "ms (with loss), upload latency=" + std::to_string(plan.upload.latencyMs) +
                     "ms (no loss)");
    };
    if (m_isActive && m_backend->changeShaping(ShapingLayout::wholeMachine(plan))) {
        logPipeConfig();
        m_logger.log("Throttling enabled successfully");
        return;
    }

    cleanupRules();
    // What was in force is gone, and a failed apply leaves nothing that
    // shapes: traffic control takes back what it made, and what pf noted
    // passes no traffic without its anchor. What stays on record goes with
    // the next clean-up.
    m_isActive = false;
    logPipeConfig();
    m_backend->applyShaping(ShapingLayout::wholeMachine(plan));

    m_isActive = true;
    m_logger.log("Throttling enabled successfully");
}

void ThrottlingManager::disableThrottling() {
    const std::lock_guard lock(m_stateLock);
    m_logger.log("Disabling throttling");
    cleanupRules();
    m_isActive = false;
    m_logger.log("Throttling disabled");
}

std::optional<std::string> ThrottlingManager::removeLeftovers() noexcept {
    const std::lock_guard lock(m_stateLock);
    m_backend->removeTemporaryLeftovers();
    auto failure = removeRecordedShaping("Removed shaping left by an earlier helper process");
    m_isActive = failure.has_value();
    return failure;
}

void ThrottlingManager::shutDown() noexcept {
    const std::lock_guard lock(m_stateLock);
    removeRecordedShaping("Removed shaping before stopping");
    m_isActive = false;
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

bool ThrottlingManager::isActive() const {
    const std::lock_guard lock(m_stateLock);
    return m_isActive;
}

void ThrottlingManager::cleanupRules() {
    try {
        m_backend->removeShaping();
    } catch (const HelperError& error) {
        if (error.kind() == HelperError::Kind::cleanupIncomplete) {
            m_isActive = true;
        }
        throw;
    }
}
