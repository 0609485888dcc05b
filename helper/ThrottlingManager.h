// SPDX-License-Identifier: MIT
#pragma once

#include "EnginePaths.h"
#include "ShapingBackend.h"

#include <cstdint>
#include <memory>
#include <mutex>

class Logger;

// Turns one set of throttle parameters into traffic shaping in the kernel and
// takes it away again. One per daemon; every client shares it.
class ThrottlingManager final {
public:
    // Shapes with pf and dummynet at the given paths.
    explicit ThrottlingManager(const Logger& logger, const EnginePaths& paths = {});
    ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend);
    ThrottlingManager(const ThrottlingManager&) = delete;
    ThrottlingManager& operator=(const ThrottlingManager&) = delete;

    // Replaces whatever shaping is in force. Throws HelperError, or
    // std::system_error when a tool cannot be started. Parameters that fail
    // the check throw validationFailed before anything runs.
    void enableThrottling(std::int64_t downloadBytesPerSecond, std::int64_t uploadBytesPerSecond,
                          std::int64_t latencyMs, double packetLossPercent,
                          std::int64_t dnsDelayMs);

    // Always runs the full clean-up, active or not.
    void disableThrottling() noexcept;

    bool isActive() const;

private:
    void cleanupRules() noexcept;

    const Logger& m_logger;
    std::unique_ptr<ShapingBackend> m_backend;
    bool m_isActive = false;
    // Held for the whole of every enable and disable, tool runs included, so
    // two clients' requests never interleave their commands.
    mutable std::mutex m_stateLock;
};
