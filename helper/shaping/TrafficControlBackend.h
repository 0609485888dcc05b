// SPDX-License-Identifier: MIT
#pragma once

#include "EnginePaths.h"
#include "ForeignQdiscs.h"
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
// with the steps of TrafficControlSteps, recording each change before it
// makes it.
//
// An interface that already carries another program's root, ingress or
// clsact qdisc is left alone: the enable fails before changing anything. A
// failed enable removes what it had done, so the interfaces end as they were.
class TrafficControlBackend final : public ShapingBackend {
public:
    // Runs tc and ip from `paths` and keeps its record there.
    TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                          const EnginePaths& paths, std::unique_ptr<UplinkSource> uplinks);

    void applyShaping(const ShapingPlan& plan) override;
    void removeShaping() override;
    bool hasRecordedChanges() const override;
    void removeTemporaryLeftovers() noexcept override;
    void followUplinks() noexcept override;
    ShapingStatistics statistics() const override { return m_statistics.read(); }

private:
    const Logger& m_logger;
    const TrafficControlTools m_tools;
    const ForeignQdiscs m_foreign;
    TrafficControlChanges m_changes;
    UplinkFollower m_follower;
    const TrafficControlStatistics m_statistics;
};
