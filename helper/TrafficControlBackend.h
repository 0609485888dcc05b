// SPDX-License-Identifier: MIT
#pragma once

#include "CommandExecutor.h"
#include "EnginePaths.h"
#include "InterfaceList.h"
#include "ShapingBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Logger;

// Shapes TCP and UDP with Linux traffic control, on every interface that is up
// and not loopback. Outbound: an HTB root whose filters send TCP and UDP to a
// netem leaf, everything else straight through. Inbound: an ingress qdisc
// whose filters redirect TCP and UDP to an IFB device with netem as its root.
class TrafficControlBackend final : public ShapingBackend {
public:
    TrafficControlBackend(const Logger& logger, EnginePaths paths,
                          std::unique_ptr<InterfaceList> interfaces);

    void removeShaping() noexcept override;
    void applyShaping(const ShapingPlan& plan) override;

    // The netem options for one direction, "netem" first.
    static std::vector<std::string> netemArguments(const DirectionShaping& shaping);

    // Packets netem may hold: enough for the configured delay at the configured
    // rate (the highest rate the engine accepts when none is set), counted in
    // the smallest packets a link carries, and never below netem's own default.
    static std::int64_t netemLimit(const DirectionShaping& shaping);

private:
    std::vector<std::string> interfacesToShape() const;
    void shapeInterface(const std::string& interface, const ShapingPlan& plan);
    void removeFromInterface(const std::string& interface) noexcept;
    void removeIngressIfUnused(const std::string& interface) noexcept;
    // Throws commandFailed with `failure` and the tool's output when it exits
    // non-zero; a step that adds a kernel feature names it when it is missing.
    void run(const std::string& tool, const std::vector<std::string>& arguments,
             const std::string& failure, const char* kernelFeature = nullptr);

    const Logger& m_logger;
    CommandExecutor m_executor;
    EnginePaths m_paths;
    std::unique_ptr<InterfaceList> m_interfaces;
};
