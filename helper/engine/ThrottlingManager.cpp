// SPDX-License-Identifier: MIT
#include "ThrottlingManager.h"

#include "DecimalFormat.h"
#include "HelperError.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <string>

ThrottlingManager::ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend)
    : m_logger(logger)
    , m_backend(std::move(backend)) {}

void ThrottlingManager::enableThrottling(std::int64_t downloadBytesPerSecond,
                                         std::int64_t uploadBytesPerSecond, std::int64_t latencyMs,
                                         double packetLossPercent, std::int64_t dnsDelayMs) {
    // The service front checks first; this guard keeps out-of-range values
    // away from the tools even for a caller that forgot.
    if (const auto failure = checkThrottleParameters({downloadBytesPerSecond, uploadBytesPerSecond,
                                                      latencyMs, packetLossPercent, dnsDelayMs})) {
        throw HelperError::validationFailed(*failure);
    }
    packetLossPercent = packetLossInSteps(packetLossPercent);

    const std::lock_guard lock(m_stateLock);
    m_logger.log("Enabling throttling: down=" + std::to_string(downloadBytesPerSecond) + "B/s up=" +
                 std::to_string(uploadBytesPerSecond) + "B/s latency=" + std::to_string(latencyMs) +
                 "ms loss=" + formatShortestDecimal(packetLossPercent) +
                 "% dns=" + std::to_string(dnsDelayMs) + "ms");

    cleanupRules();

    // The two halves add up to the request; upload takes the odd millisecond.
    const std::int64_t downloadLatency = latencyMs / 2;
    const std::int64_t uploadLatency = (latencyMs + 1) / 2;
    m_logger.log("Pipe config: download latency=" + std::to_string(downloadLatency) +
                 "ms (with loss), upload latency=" + std::to_string(uploadLatency) +
                 "ms (no loss)");

    m_backend->applyShaping({{downloadBytesPerSecond, downloadLatency, packetLossPercent},
                             {uploadBytesPerSecond, uploadLatency, 0.0}});

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
