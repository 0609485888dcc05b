// SPDX-License-Identifier: MIT
#include "TrafficControlChanges.h"

#include "HelperError.h"
#include "InterfaceName.h"
#include "Logger.h"
#include "TrafficControlSteps.h"
#include "TrafficControlTools.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

namespace {

// The largest frame of the uplink whatever its link-layer header: the
// token bucket in front of netem holds one, and the kernel drops what is
// larger and cannot be cut.
unsigned frameBytes(const Uplink& uplink) {
    constexpr unsigned kDefaultMtu = 1500;
    constexpr unsigned kLinkHeaderBytes = 64;
    return (uplink.mtu > 0 ? uplink.mtu : kDefaultMtu) + kLinkHeaderBytes;
}

} // namespace

TrafficControlChanges::TrafficControlChanges(const Logger& logger, const TrafficControlTools& tools,
                                             std::string recordPath)
    : m_logger(logger)
    , m_tools(tools)
    , m_record(std::move(recordPath)) {}

void TrafficControlChanges::shape(const Uplink& uplink, const ShapingPlan& plan) {
    for (const TrafficControlStep& step : TrafficControlSteps::shaping(
             uplink.name, ifbDeviceName(uplink.name), std::to_string(frameBytes(uplink)), plan)) {
        if (step.entry) {
            make(*step.entry, step);
        } else {
            m_tools.run(step);
        }
    }
}

void TrafficControlChanges::make(const Entry& entry, const TrafficControlStep& step) {
    try {
        m_record.add(entry);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write the change record: ") +
                                     error.what());
    }
    try {
        m_tools.run(step);
    } catch (const HelperError&) {
        // The tool said no: nothing was made, and undoing it could remove
        // what another program made in the meantime.
        try {
            std::vector<Entry> entries = m_record.entries();
            if (!entries.empty() && entries.back() == entry) {
                entries.pop_back();
                m_record.replace(entries);
            }
        } catch (const std::exception& error) {
            m_logger.log(std::string("Failed to update the change record: ") + error.what());
        }
        throw;
    }
}

std::vector<TrafficControlChanges::Entry> TrafficControlChanges::recorded() const {
    try {
        return m_record.entries();
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to read the change record: ") +
                                     error.what());
    }
}

void TrafficControlChanges::undo(const std::vector<Entry>& recorded) {
    std::vector<std::string> failures;
    const std::vector<Entry> kept = undoEach(recorded, failures);
    try {
        m_record.replace(kept);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to update the change record: ") +
                                     error.what());
    }
    if (!failures.empty()) {
        std::string detail;
        for (const auto& failure : failures) {
            detail += (detail.empty() ? "" : "; ") + failure;
        }
        throw HelperError::cleanupIncomplete(detail);
    }
}

void TrafficControlChanges::rollBack() {
    m_logger.log("Removing the shaping of the failed enable");
    try {
        undo(recorded());
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to remove shaping: ") + error.what());
    }
}

std::vector<TrafficControlChanges::Entry>
TrafficControlChanges::undoEach(const std::vector<Entry>& entries,
                                std::vector<std::string>& failures) const noexcept {
    std::vector<Entry> kept;
    // Newest first: the redirect goes before the device it points to.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        try {
            const auto& words = *entry;
            std::optional<std::string> failure;
            if (const std::optional<TrafficControlStep> step = TrafficControlSteps::undo(words)) {
                failure = m_tools.runRemoval(*step);
            } else {
                std::string line;
                for (const auto& word : words) {
                    line += " " + word;
                }
                m_logger.log("Ignored an unknown entry of the change record:" + line);
            }
            if (failure) {
                kept.insert(kept.begin(), words);
                failures.push_back(std::move(*failure));
            }
        } catch (...) {
            // Building an argument list can only fail for lack of memory; the
            // other entries still get their turn.
        }
    }
    return kept;
}

void TrafficControlChanges::undoInterface(const std::string& interface) noexcept {
    try {
        const std::vector<Entry> entries = m_record.entries();
        std::vector<Entry> removed;
        for (const auto& entry : entries) {
            if (TrafficControlSteps::concerns(entry, interface, ifbDeviceName(interface))) {
                removed.push_back(entry);
            }
        }
        std::vector<std::string> failures;
        const std::vector<Entry> failed = undoEach(removed, failures);
        std::vector<Entry> kept;
        for (const auto& entry : entries) {
            if (!TrafficControlSteps::concerns(entry, interface, ifbDeviceName(interface)) ||
                std::find(failed.begin(), failed.end(), entry) != failed.end()) {
                kept.push_back(entry);
            }
        }
        m_record.replace(kept);
        for (const auto& failure : failures) {
            m_logger.log("Failed to remove the shaping of " + interface + ": " + failure);
        }
    } catch (const std::exception& error) {
        m_logger.log("Failed to remove the shaping of " + interface + ": " + error.what());
    }
}
