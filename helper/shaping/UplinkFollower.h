// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"
#include "Uplinks.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ForeignQdiscs;
class Logger;
class TrafficControlChanges;

// Keeps a shaping in force on the uplinks as they change: one that comes up
// while shaping is shaped too, and one that is re-created under the same
// name, or whose MTU changed, is shaped anew.
class UplinkFollower final {
public:
    UplinkFollower(const Logger& logger, std::unique_ptr<UplinkSource> uplinks,
                   const ForeignQdiscs& foreign, TrafficControlChanges& changes);

    // The uplinks as they are now. Throws commandFailed when they cannot be
    // read.
    std::vector<Uplink> uplinks() const;

    // `layout` is in force on `shaped`: what follow() keeps it on from now.
    void start(const ShapingLayout& layout, const std::vector<Uplink>& shaped);
    void stop();

    // The layout in force, when it is in force on exactly `uplinks`.
    std::optional<ShapingLayout> layoutOn(const std::vector<Uplink>& uplinks) const;

    // Shapes the uplinks that appeared or were re-created since; nothing
    // while stopped.
    void follow() noexcept;

private:
    // Undoes what the record lists for `interface`, which is no longer
    // counted as shaped.
    void forget(const std::string& interface) noexcept;

    const Logger& m_logger;
    const std::unique_ptr<UplinkSource> m_uplinks;
    const ForeignQdiscs& m_foreign;
    TrafficControlChanges& m_changes;
    // While shaping: the layout, and the uplinks it is in force on, by name.
    std::optional<ShapingLayout> m_layout;
    std::map<std::string, Uplink> m_shaped;
};
