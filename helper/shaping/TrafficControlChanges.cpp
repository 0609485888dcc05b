// SPDX-License-Identifier: MIT
#include "TrafficControlChanges.h"

#include "HelperError.h"
#include "InterfaceName.h"
#include "Logger.h"
#include "TrafficControlSteps.h"
#include "TrafficControlTools.h"

#include <algorithm>
#include <exception>
#include <iterator>
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

void TrafficControlChanges::shape(const std::vector<Uplink>& uplinks, const ShapingLayout& layout) {
    // The devices first: the redirecting filters name them.
    std::vector<TrafficControlStep> steps;
    std::vector<TrafficControlStep> tcSteps;
    for (const auto& uplink : uplinks) {
        for (TrafficControlStep& step :
             TrafficControlSteps::shaping(uplink.name, ifbDeviceName(uplink.name),
                                          std::to_string(frameBytes(uplink)), layout)) {
            (step.tool == TrafficControlStep::Tool::ip ? steps : tcSteps)
                .push_back(std::move(step));
        }
    }
    steps.insert(steps.end(), tcSteps.begin(), tcSteps.end());
    // The marking serves every uplink: an uplink shaped again later finds
    // it made.
    if (!listsMarking()) {
        const std::vector<TrafficControlStep> marking = TrafficControlSteps::marking({}, layout);
        steps.insert(steps.end(), marking.begin(), marking.end());
    }
    runRecorded(steps, steps);
}

void TrafficControlChanges::change(const std::vector<Uplink>& uplinks, const ShapingLayout& before,
                                   const ShapingLayout& after) {
    std::vector<TrafficControlStep> steps;
    for (const auto& uplink : uplinks) {
        for (TrafficControlStep& step :
             TrafficControlSteps::change(uplink.name, ifbDeviceName(uplink.name),
                                         std::to_string(frameBytes(uplink)), before, after)) {
            steps.push_back(std::move(step));
        }
    }
    // A command's marks only once its classes and filters are there.
    const std::vector<TrafficControlStep> marking = TrafficControlSteps::marking(before, after);
    steps.insert(steps.end(), marking.begin(), marking.end());
    runRecorded(steps, marking);
}

void TrafficControlChanges::runRecorded(const std::vector<TrafficControlStep>& steps,
                                        const std::vector<TrafficControlStep>& recorded) {
    std::vector<Entry> entries;
    for (const auto& step : recorded) {
        if (step.entry) {
            entries.push_back(*step.entry);
        }
    }
    try {
        // Nothing to note for a step of a schedule: ten a second, each an
        // open of the record for nothing.
        if (!entries.empty()) {
            m_record.add(entries);
        }
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write the change record: ") +
                                     error.what());
    }
    const TrafficControlTools::Progress progress = m_tools.runAll(steps);
    if (progress.refusal) {
        // What was not made must not be deleted later: it might be
        // another's by then.
        std::vector<Entry> unmade;
        for (size_t index = progress.made; index < steps.size(); ++index) {
            if (steps[index].entry) {
                unmade.push_back(*steps[index].entry);
            }
        }
        forgetUnmade(unmade);
        throw *progress.refusal;
    }
}

bool TrafficControlChanges::listsMarking() const {
    const std::vector<Entry> entries = recorded();
    return std::any_of(entries.begin(), entries.end(), [](const Entry& entry) {
        return TrafficControlSteps::undoMarking(entry).has_value();
    });
}

void TrafficControlChanges::forgetUnmade(const std::vector<Entry>& unmade) noexcept {
    if (unmade.empty()) {
        return;
    }
    try {
        std::vector<Entry> entries = m_record.entries();
        for (const auto& entry : unmade) {
            const auto last = std::find(entries.rbegin(), entries.rend(), entry);
            if (last != entries.rend()) {
                entries.erase(std::next(last).base());
            }
        }
        m_record.replace(entries);
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to update the change record: ") + error.what());
    }
}

void TrafficControlChanges::removeTemporaryLeftovers() noexcept {
    m_record.removeTemporaryLeftovers();
    m_tools.removeLeftoverBatches();
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
    try {
        // Newest first, and every qdisc before any device: a redirect goes
        // before the device it points to. tc's removals then run in one run
        // of tc, ip's in one exchange.
        std::vector<TrafficControlStep> steps;
        std::vector<size_t> stepOf(entries.size(), entries.size());
        for (const bool devices : {false, true}) {
            for (size_t index = entries.size(); index-- > 0;) {
                const std::optional<TrafficControlStep> step =
                    TrafficControlSteps::undo(entries[index]);
                if (step && (step->tool == TrafficControlStep::Tool::ip) == devices) {
                    stepOf[index] = steps.size();
                    steps.push_back(*step);
                }
            }
        }
        const std::vector<std::optional<std::string>> stepFailures = m_tools.removeAll(steps);
        std::vector<Entry> kept;
        for (size_t index = entries.size(); index-- > 0;) {
            if (stepOf[index] == entries.size()) {
                std::string line;
                for (const auto& word : entries[index]) {
                    line += " " + word;
                }
                m_logger.log("Ignored an unknown entry of the change record:" + line);
            } else if (const auto& failure = stepFailures[stepOf[index]]) {
                kept.insert(kept.begin(), entries[index]);
                failures.push_back(*failure);
            }
        }
        return kept;
    } catch (...) {
        // Building an argument list can only fail for lack of memory: all
        // of it stays for the next try.
        failures.push_back("out of memory");
        return entries;
    }
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
