// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "HelperError.h"
#include "Logger.h"
#include "NetlinkDevices.h"
#include "ToolDevices.h"

#include <string>
#include <vector>

namespace {

// Batch files go where the record is: a folder only root may write.
std::string batchBeside(const EnginePaths& paths) {
    const size_t slash = paths.changeRecord.rfind('/');
    return paths.changeRecord.substr(0, slash == std::string::npos ? 0 : slash + 1) + "batch";
}

std::unique_ptr<const KernelDevices> makeDevices(const Logger& logger,
                                                 const CommandExecutor& executor,
                                                 const EnginePaths& paths,
                                                 TrafficControlBackend::Devices devices) {
    if (devices == TrafficControlBackend::Devices::overNetlink) {
        return std::make_unique<NetlinkDevices>(logger, paths.ip, paths.tc);
    }
    return std::make_unique<ToolDevices>(executor, paths.tc, paths.ip, batchBeside(paths));
}

// Each throttle's class, handles and filter preferences are numbered after
// its slot; one outside the slots would take another's.
void checkSlots(const ShapingLayout& layout) {
    for (const ScopedPlan& throttle : layout.throttles) {
        if (throttle.slot < ScopedPlan::kMachineSlot || throttle.slot > ScopedPlan::kLastSlot) {
            throw HelperError::commandFailed("Cannot shape a throttle in slot " +
                                             std::to_string(throttle.slot) + ": slots run from " +
                                             std::to_string(ScopedPlan::kMachineSlot) + " to " +
                                             std::to_string(ScopedPlan::kLastSlot));
        }
    }
}

} // namespace

TrafficControlBackend::TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                                             const EnginePaths& paths,
                                             std::unique_ptr<UplinkSource> uplinks, Devices devices)
    : m_logger(logger)
    , m_devices(makeDevices(logger, executor, paths, devices))
    , m_tools(executor, paths.tc, paths.nft, *m_devices, batchBeside(paths))
    , m_foreign(*m_devices)
    , m_changes(logger, m_tools, paths.changeRecord)
    , m_follower(logger, std::move(uplinks), m_foreign, m_changes)
    , m_statistics(executor, paths.tc, paths.changeRecord) {}

std::optional<std::string> TrafficControlBackend::refusal(const ThrottleParameters&,
                                                          const ThrottleScope& scope) const {
    // nft reads a cgroup's path as a quoted string.
    for (const std::string& cgroup : scope.cgroups) {
        if (cgroup.find('"') != std::string::npos) {
            return std::string("Cannot throttle the processes in cgroup ") + cgroup +
                   ": its path has a double quote";
        }
    }
    return scope.check();
}

void TrafficControlBackend::applyShaping(const ShapingLayout& layout) {
    checkSlots(layout);
    const std::vector<Uplink> uplinks = m_follower.uplinks();
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
        if (const auto refusal = m_foreign.refusal(uplink.name)) {
            throw HelperError::commandFailed(*refusal);
        }
    }
    try {
        m_changes.shape(uplinks, layout);
    } catch (...) {
        m_follower.stop();
        m_changes.rollBack();
        throw;
    }
    m_follower.start(layout, uplinks);
}

bool TrafficControlBackend::changeConditions(const ShapingLayout& layout) {
    checkSlots(layout);
    const std::vector<Uplink> uplinks = m_follower.uplinks();
    const std::optional<ShapingLayout> before = m_follower.layoutOn(uplinks);
    if (!before) {
        return false;
    }
    m_changes.change(uplinks, *before, layout);
    m_follower.start(layout, uplinks);
    return true;
}

bool TrafficControlBackend::changeShaping(const ShapingLayout& layout) {
    try {
        if (!changeConditions(layout)) {
            return false;
        }
    } catch (const std::exception& error) {
        m_logger.log(std::string("Cannot change the shaping in place: ") + error.what());
        return false;
    }
    m_logger.log("Changed the shaping in place");
    return true;
}

void TrafficControlBackend::removeShaping() {
    // A record that cannot be read leaves the shaping as it was, followed.
    const std::vector<TrafficControlChanges::Entry> recorded = m_changes.recorded();
    m_follower.stop();
    m_changes.undo(recorded);
}

bool TrafficControlBackend::hasRecordedChanges() const {
    return !m_changes.isEmpty();
}

void TrafficControlBackend::removeTemporaryLeftovers() noexcept {
    m_changes.removeTemporaryLeftovers();
}

void TrafficControlBackend::prepareForChange() noexcept {
    m_tools.startAhead();
}

void TrafficControlBackend::followUplinks() noexcept {
    m_follower.follow();
}
