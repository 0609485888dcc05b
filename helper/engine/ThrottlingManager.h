// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingBackend.h"
#include "ThrottleParameters.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class Logger;

// Turns one set of throttle parameters into traffic shaping in the kernel and
// takes it away again. One per daemon; every client shares it.
class ThrottlingManager final {
public:
    ThrottlingManager(const Logger& logger, std::unique_ptr<ShapingBackend> backend);
    ThrottlingManager(const ThrottlingManager&) = delete;
    ThrottlingManager& operator=(const ThrottlingManager&) = delete;

    // Removes what an earlier process of the daemon left: shaping it recorded
    // (a crash, a kill) and half-written temporary files. Returns why some
    // shaping could not be removed; it stays on record, and the engine then
    // counts as active.
    std::optional<std::string> removeLeftovers() noexcept;

    // Replaces whatever shaping is in force. Throws HelperError, or the
    // runner's errors. Parameters that fail the check throw validationFailed
    // before anything runs.
    void enableThrottling(const ThrottleParameters& parameters);

    // Always runs the full clean-up, active or not. Throws HelperError when
    // it cannot tell what to remove; the state is then left as it was. When
    // some shaping could not be removed it throws cleanupIncomplete, and the
    // engine stays active: the shaping may still be in force.
    void disableThrottling();

    bool isActive() const;

    // Shapes uplinks that appeared since the enable; nothing while inactive.
    void followUplinks() noexcept;

    // What the shaping has done so far, read beside whatever change runs,
    // never after it (see ShapingBackend::statistics).
    ShapingStatistics statistics() const { return m_backend->statistics(); }

    // For the daemon's stop: removes whatever shaping is recorded.
    void shutDown() noexcept;

private:
    void cleanupRules();
    // Only with the lock held. Returns why not everything could be removed.
    std::optional<std::string> removeRecordedShaping(const char* doneMessage) noexcept;

    const Logger& m_logger;
    std::unique_ptr<ShapingBackend> m_backend;
    bool m_isActive = false;
    // Held for the whole of every enable and disable, tool runs included, so
    // two clients' requests never interleave their commands.
    mutable std::mutex m_stateLock;
};
