// SPDX-License-Identifier: MIT
#pragma once

#include "ChangeRecord.h"
#include "EnginePaths.h"
#include "ShapingBackend.h"
#include "Uplinks.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

private:
    std::vector<Uplink> readUplinks() const;
    // What another program has on the interface, if anything.
    std::optional<std::string> foreignQdisc(const std::string& interface) const;
    void shapeUplink(const Uplink& uplink, const ShapingPlan& plan);
    // Records `entry`, then runs the step that makes the change; the entry
    // is dropped again when the step fails, since nothing was made.
    void change(const ChangeRecord::Entry& entry, const std::string& tool,
                const std::vector<std::string>& arguments, const std::string& failure,
                const char* kernelFeature);
    // Throws commandFailed with `failure` and the tool's output when it exits
    // non-zero; a step that adds a kernel feature names it when it is missing.
    void run(const std::string& tool, const std::vector<std::string>& arguments,
             const std::string& failure, const char* kernelFeature = nullptr);
    // Undoes `entries`, newest first. Returns those it could not undo, in
    // their order, and adds why to `failures`.
    std::vector<ChangeRecord::Entry> undo(const std::vector<ChangeRecord::Entry>& entries,
                                          std::vector<std::string>& failures) const noexcept;
    // Why undoing with this run failed; nothing when it worked, or when the
    // thing to remove is gone already.
    std::optional<std::string> runUndo(const std::string& tool,
                                       const std::vector<std::string>& arguments) const;
    // Undoes what the record lists for one interface and forgets what it
    // removed.
    void removeFromInterface(const std::string& interface) noexcept;

    const Logger& m_logger;
    const CommandExecutor& m_executor;
    ChangeRecord m_record;
    std::unique_ptr<UplinkSource> m_uplinks;
    const std::string m_tc;
    const std::string m_ip;
    // While shaping: the plan, and the uplinks it is in force on, by name.
    std::optional<ShapingPlan> m_plan;
    std::map<std::string, Uplink> m_shaped;
};
