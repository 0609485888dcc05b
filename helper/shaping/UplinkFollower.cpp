// SPDX-License-Identifier: MIT
#include "UplinkFollower.h"

#include "ForeignQdiscs.h"
#include "HelperError.h"
#include "Logger.h"
#include "TrafficControlChanges.h"

#include <exception>

UplinkFollower::UplinkFollower(const Logger& logger, std::unique_ptr<UplinkSource> uplinks,
                               const ForeignQdiscs& foreign, TrafficControlChanges& changes)
    : m_logger(logger)
    , m_uplinks(std::move(uplinks))
    , m_foreign(foreign)
    , m_changes(changes) {}

std::vector<Uplink> UplinkFollower::uplinks() const {
    try {
        return m_uplinks->uplinks();
    } catch (const std::exception& error) {
        throw HelperError::commandFailed(std::string("Cannot read the network interfaces: ") +
                                         error.what());
    }
}

void UplinkFollower::start(const ShapingLayout& layout, const std::vector<Uplink>& shaped) {
    for (const auto& uplink : shaped) {
        m_shaped[uplink.name] = uplink;
    }
    m_layout = layout;
}

void UplinkFollower::stop() {
    m_layout.reset();
    m_shaped.clear();
}

std::optional<ShapingLayout> UplinkFollower::layoutOn(const std::vector<Uplink>& uplinks) const {
    if (!m_layout || uplinks.size() != m_shaped.size()) {
        return std::nullopt;
    }
    for (const auto& uplink : uplinks) {
        const auto shaped = m_shaped.find(uplink.name);
        if (shaped == m_shaped.end() || !(shaped->second == uplink)) {
            return std::nullopt;
        }
    }
    return m_layout;
}

void UplinkFollower::forget(const std::string& interface) noexcept {
    m_changes.undoInterface(interface);
    m_shaped.erase(interface);
}

void UplinkFollower::follow() noexcept {
    if (!m_layout) {
        return;
    }
    try {
        for (const auto& uplink : uplinks()) {
            const auto shaped = m_shaped.find(uplink.name);
            if (shaped != m_shaped.end() && shaped->second == uplink) {
                continue;
            }
            // Re-created under the same name: its qdiscs went with the old
            // link, its IFB device did not. With a larger MTU the token
            // bucket would drop its largest frames: shaped anew.
            if (shaped != m_shaped.end()) {
                forget(uplink.name);
            }
            m_logger.log("Shaping new uplink " + uplink.name);
            try {
                if (const auto refusal = m_foreign.refusal(uplink.name)) {
                    m_logger.log(*refusal);
                    continue;
                }
                m_changes.shape({uplink}, *m_layout);
                m_shaped[uplink.name] = uplink;
            } catch (const std::exception& error) {
                m_logger.log("Failed to shape " + uplink.name + ": " + error.what());
                forget(uplink.name);
            }
        }
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to follow the uplinks: ") + error.what());
    } catch (...) {
        m_logger.log("Failed to follow the uplinks: unknown error");
    }
}
