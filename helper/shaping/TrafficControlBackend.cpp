// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "CommandExecutor.h"
#include "HelperError.h"
#include "InterfaceName.h"
#include "Logger.h"
#include "TrafficControlSteps.h"

#include <algorithm>
#include <sstream>
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

// How tc and ip report a qdisc kind or link type the kernel does not know.
bool reportsMissingKernelFeature(const std::string& output) {
    return output.find("qdisc kind is unknown") != std::string::npos ||
           output.find("Unknown device type") != std::string::npos;
}

// How tc and ip report that what a clean-up step removes is not there (any
// more): a device gone, a qdisc of ours gone or replaced by another's. Such
// a step has nothing left to do.
bool reportsAlreadyGone(const std::string& output) {
    for (const char* gone : {"Cannot find device", "No such file or directory", "Invalid handle",
                             "Cannot delete qdisc with handle of zero",
                             "Cannot find specified qdisc", "must match existing qdisc"}) {
        if (output.find(gone) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TrafficControlBackend::TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                                             const EnginePaths& paths,
                                             std::unique_ptr<UplinkSource> uplinks)
    : m_logger(logger)
    , m_executor(executor)
    , m_record(paths.changeRecord)
    , m_uplinks(std::move(uplinks))
    , m_tc(paths.tc)
    , m_ip(paths.ip) {}

std::vector<Uplink> TrafficControlBackend::readUplinks() const {
    try {
        return m_uplinks->uplinks();
    } catch (const std::exception& error) {
        throw HelperError::commandFailed(std::string("Cannot read the network interfaces: ") +
                                         error.what());
    }
}

std::optional<std::string> TrafficControlBackend::foreignQdisc(const std::string& interface) const {
    const CommandResult shown = m_executor.execute(m_tc, {"qdisc", "show", "dev", interface});
    if (shown.exitCode != 0) {
        throw HelperError::commandFailed("Failed to read the qdiscs of " + interface + ": " +
                                         shown.combinedOutput());
    }
    // "qdisc <kind> <handle> root ..." or "qdisc <kind> <handle> parent ...".
    // The kernel's own root qdiscs have handle 0:; one added by a program has
    // another. An ingress or clsact qdisc is always someone's.
    std::istringstream lines(shown.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, kind, handle, position;
        if (!(words >> word >> kind >> handle >> position) || word != "qdisc") {
            continue;
        }
        if ((position == "root" && handle != "0:") || kind == "ingress" || kind == "clsact") {
            return kind + " " + handle + (position == "root" ? " root" : " ingress");
        }
    }
    return std::nullopt;
}

void TrafficControlBackend::applyShaping(const ShapingPlan& plan) {
    const std::vector<Uplink> uplinks = readUplinks();
    if (uplinks.empty()) {
        // Reporting success here would leave the user believing traffic is
        // shaped while an uplink that comes up later runs at full speed.
        throw HelperError::commandFailed("No network interface with a default route to shape");
    }
    std::string list;
    for (const auto& uplink : uplinks) {
        list += (list.empty() ? "" : ", ") + uplink.name;
    }
    m_logger.log("Shaping interfaces: " + list);
    // Every interface is looked at before any is changed.
    for (const auto& uplink : uplinks) {
        if (const auto foreign = foreignQdisc(uplink.name)) {
            throw HelperError::commandFailed("Cannot shape " + uplink.name +
                                             ": it carries another program's qdisc (" + *foreign +
                                             ")");
        }
    }
    try {
        for (const auto& uplink : uplinks) {
            shapeUplink(uplink, plan);
            m_shaped[uplink.name] = uplink;
        }
    } catch (...) {
        m_logger.log("Removing the shaping of the failed enable");
        m_shaped.clear();
        try {
            removeShaping();
        } catch (const std::exception& error) {
            m_logger.log(std::string("Failed to remove shaping: ") + error.what());
        }
        throw;
    }
    m_plan = plan;
}

void TrafficControlBackend::shapeUplink(const Uplink& uplink, const ShapingPlan& plan) {
    for (const TrafficControlStep& step : TrafficControlSteps::shaping(
             uplink.name, ifbDeviceName(uplink.name), std::to_string(frameBytes(uplink)), plan)) {
        const std::string& tool = step.tool == TrafficControlStep::Tool::tc ? m_tc : m_ip;
        if (step.entry) {
            change(*step.entry, tool, step.arguments, step.failure, step.kernelFeature);
        } else {
            run(tool, step.arguments, step.failure, step.kernelFeature);
        }
    }
}

void TrafficControlBackend::change(const ChangeRecord::Entry& entry, const std::string& tool,
                                   const std::vector<std::string>& arguments,
                                   const std::string& failure, const char* kernelFeature) {
    try {
        m_record.add(entry);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write the change record: ") +
                                     error.what());
    }
    try {
        run(tool, arguments, failure, kernelFeature);
    } catch (const HelperError&) {
        // The tool said no: nothing was made, and undoing it could remove
        // what another program made in the meantime.
        try {
            std::vector<ChangeRecord::Entry> entries = m_record.entries();
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

void TrafficControlBackend::run(const std::string& tool, const std::vector<std::string>& arguments,
                                const std::string& failure, const char* kernelFeature) {
    const CommandResult result = m_executor.execute(tool, arguments);
    if (result.exitCode == 0) {
        return;
    }
    const std::string output = result.combinedOutput();
    if (kernelFeature != nullptr && reportsMissingKernelFeature(output)) {
        throw HelperError::commandFailed(failure + "the kernel lacks " + kernelFeature + ": " +
                                         output);
    }
    throw HelperError::commandFailed(failure + output);
}

bool TrafficControlBackend::hasRecordedChanges() const {
    return !m_record.isEmpty();
}

void TrafficControlBackend::removeTemporaryLeftovers() noexcept {
    m_record.removeTemporaryLeftovers();
}

void TrafficControlBackend::removeShaping() {
    std::vector<ChangeRecord::Entry> entries;
    try {
        entries = m_record.entries();
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to read the change record: ") +
                                     error.what());
    }
    std::vector<std::string> failures;
    const std::vector<ChangeRecord::Entry> kept = undo(entries, failures);
    m_plan.reset();
    m_shaped.clear();
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

std::vector<ChangeRecord::Entry>
TrafficControlBackend::undo(const std::vector<ChangeRecord::Entry>& entries,
                            std::vector<std::string>& failures) const noexcept {
    std::vector<ChangeRecord::Entry> kept;
    // Newest first: the redirect goes before the device it points to.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        try {
            const auto& words = *entry;
            std::optional<std::string> failure;
            if (const std::optional<TrafficControlStep> step = TrafficControlSteps::undo(words)) {
                failure = runUndo(step->tool == TrafficControlStep::Tool::tc ? m_tc : m_ip,
                                  step->arguments);
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

std::optional<std::string>
TrafficControlBackend::runUndo(const std::string& tool,
                               const std::vector<std::string>& arguments) const {
    std::string commandLine = tool;
    for (const auto& argument : arguments) {
        commandLine += " " + argument;
    }
    CommandResult result;
    try {
        result = m_executor.execute(tool, arguments);
    } catch (const CommandTimeout& timeout) {
        return timeout.what();
    } catch (const std::exception& error) {
        return commandLine + ": " + error.what();
    }
    if (result.exitCode == 0 || reportsAlreadyGone(result.combinedOutput())) {
        return std::nullopt;
    }
    const std::string output = result.combinedOutput();
    return commandLine + ": " +
           (output.empty() ? "exit status " + std::to_string(result.exitCode) : output);
}

void TrafficControlBackend::removeFromInterface(const std::string& interface) noexcept {
    try {
        const std::vector<ChangeRecord::Entry> entries = m_record.entries();
        std::vector<ChangeRecord::Entry> removed;
        for (const auto& entry : entries) {
            if (TrafficControlSteps::concerns(entry, interface, ifbDeviceName(interface))) {
                removed.push_back(entry);
            }
        }
        std::vector<std::string> failures;
        const std::vector<ChangeRecord::Entry> failed = undo(removed, failures);
        std::vector<ChangeRecord::Entry> kept;
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
    m_shaped.erase(interface);
}

void TrafficControlBackend::followUplinks() noexcept {
    if (!m_plan) {
        return;
    }
    try {
        for (const auto& uplink : readUplinks()) {
            const auto shaped = m_shaped.find(uplink.name);
            if (shaped != m_shaped.end() && shaped->second == uplink) {
                continue;
            }
            // Re-created under the same name: its qdiscs went with the old
            // link, its IFB device did not. With a larger MTU the token
            // bucket would drop its largest frames: shaped anew.
            if (shaped != m_shaped.end()) {
                removeFromInterface(uplink.name);
            }
            m_logger.log("Shaping new uplink " + uplink.name);
            try {
                if (const auto foreign = foreignQdisc(uplink.name)) {
                    m_logger.log("Cannot shape " + uplink.name +
                                 ": it carries another program's qdisc (" + *foreign + ")");
                    continue;
                }
                shapeUplink(uplink, *m_plan);
                m_shaped[uplink.name] = uplink;
            } catch (const std::exception& error) {
                m_logger.log("Failed to shape " + uplink.name + ": " + error.what());
                removeFromInterface(uplink.name);
            }
        }
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to follow the uplinks: ") + error.what());
    } catch (...) {
        m_logger.log("Failed to follow the uplinks: unknown error");
    }
}
