// SPDX-License-Identifier: MIT
#pragma once

#include "TrafficControlSteps.h"

#include <optional>
#include <string>

class CommandExecutor;

// Runs the steps of traffic control with tc and ip, and tells their failures
// apart: a kernel that lacks what a step adds is named, and a clean-up step
// whose target is gone already has nothing left to do.
class TrafficControlTools final {
public:
    TrafficControlTools(const CommandExecutor& executor, std::string tc, std::string ip);

    // Runs `step` and returns what the tool printed. Throws commandFailed with
    // the step's failure and the tool's output when it exits non-zero, naming
    // the step's kernel feature when the kernel lacks it; and the runner's
    // errors (a tool that cannot start or runs too long).
    std::string run(const TrafficControlStep& step) const;

    // Runs a step that removes something. Why it failed, naming the command
    // line; nothing when it worked, or when what it removes is gone already.
    // Throws only for lack of memory.
    std::optional<std::string> runRemoval(const TrafficControlStep& step) const;

private:
    const std::string& pathOf(TrafficControlStep::Tool tool) const;

    const CommandExecutor& m_executor;
    const std::string m_tc;
    const std::string m_ip;
};
