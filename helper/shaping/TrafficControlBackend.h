// SPDX-License-Identifier: MIT
#pragma once

#include "EnginePaths.h"
#include "ForeignQdiscs.h"
#include "KernelDevices.h"
#include "ShapingBackend.h"
#include "TrafficControlChanges.h"
#include "TrafficControlStatistics.h"
#include "TrafficControlTools.h"
#include "UplinkFollower.h"
#include "Uplinks.h"

#include <memory>

class CommandExecutor;
class Logger;

// Shapes TCP and UDP with Linux traffic control on the machine's uplinks,
// each throttle of a layout in a class of its own, its destinations told
// apart by the kernel's filters, with the steps of TrafficControlSteps,
// recording each change before it makes it. Each switch is one exchange with the kernel where it
// can be: the IFB devices and the qdisc lists over rtnetlink, and all of tc's steps in one run of
// tc.
//
// An interface that already carries another program's root, ingress or
// clsact qdisc is left alone: the enable fails before changing anything. A
// failed enable removes what it had done, so the interfaces end as they were.
// A change of layout while shaping on the same uplinks changes it in place:
// a throttle's class, leaves and filters come and go, and changed conditions
// change its netem leaves, while every other throttle's packets stay where
// they are queued.
class TrafficControlBackend final : public ShapingBackend {
public:
    // Over rtnetlink, as the installed daemon does; or through the ip and tc
    // at `paths`, which a test can stand in for.
    enum class Devices { overNetlink, throughTools };

    // Runs tc (and ip) from `paths` and keeps its record there.
    TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                          const EnginePaths& paths, std::unique_ptr<UplinkSource> uplinks,
                          Devices devices);

    std::optional<std::string> refusal(const ThrottleParameters& parameters,
                                       const ThrottleScope& scope) const override;
    void applyShaping(const ShapingLayout& layout) override;
    bool changeShaping(const ShapingLayout& layout) override;
    bool changeConditions(const ShapingLayout& layout) override;
    void removeShaping() override;
    bool hasRecordedChanges() const override;
    void removeTemporaryLeftovers() noexcept override;
    void followUplinks() noexcept override;
    void prepareForChange() noexcept override;
    ShapingStatistics statistics() const override { return m_statistics.read(); }

private:
    const Logger& m_logger;
    const std::unique_ptr<const KernelDevices> m_devices;
    const TrafficControlTools m_tools;
    const ForeignQdiscs m_foreign;
    TrafficControlChanges m_changes;
    UplinkFollower m_follower;
    const TrafficControlStatistics m_statistics;
};
