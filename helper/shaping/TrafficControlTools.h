// SPDX-License-Identifier: MIT
#pragma once

#include "HelperError.h"
#include "ToolBatch.h"
#include "TrafficControlSteps.h"

#include <optional>
#include <string>
#include <vector>

class CommandExecutor;
class KernelDevices;

// Runs the steps of traffic control, each run of tc's steps in one run of tc,
// each run of ip's in one exchange with the devices and each run of nft's in
// one transaction of nft, and tells their
// failures apart: a kernel that lacks what a step adds is named, and a
// clean-up step whose target is gone already has nothing left to do.
class TrafficControlTools final {
public:
    // Batch files are written beside `batchBeside`.
    TrafficControlTools(const CommandExecutor& executor, std::string tc, std::string nft,
                        const KernelDevices& devices, std::string batchBeside);

    struct Progress {
        // How many steps, from the first, were made.
        size_t made = 0;
        // Why the next one was refused: the step's failure and what the tool
        // said, naming the step's kernel feature when the kernel lacks it.
        std::optional<HelperError> refusal = std::nullopt;
    };
    // Runs `steps` in order until one is refused. Throws the runner's errors
    // (a tool that cannot start or runs too long), std::system_error when a
    // batch cannot be written, and std::runtime_error when a tool failed
    // without saying where: how far it got is not known then.
    Progress runAll(const std::vector<TrafficControlStep>& steps) const;

    // Runs steps that remove something, carrying on past failures. Per
    // step, why it failed, naming its command line; nothing when it worked
    // or when what it removes is gone already. Throws only for lack of
    // memory.
    std::vector<std::optional<std::string>>
    removeAll(const std::vector<TrafficControlStep>& steps) const;

    const KernelDevices& devices() const { return m_devices; }

    // Starts tc ahead of the next change (see ToolBatch::startAhead).
    void startAhead() const noexcept { m_tc.startAhead(); }

    // Removes batch files a killed process left.
    void removeLeftoverBatches() const noexcept;

private:
    // Applying stops at the first refusal, so that the record stays exact;
    // removing goes on past it, since a removal that finds its target gone
    // must not keep the others from going.
    enum class Pass { applying, removing };

    std::vector<LineOutcome> runGroup(const std::vector<TrafficControlStep>& steps, size_t first,
                                      size_t end, Pass pass) const;
    std::string commandLine(const TrafficControlStep& step) const;

    std::vector<LineOutcome> runNft(const std::vector<std::vector<std::string>>& lines,
                                    Pass pass) const;

    const CommandExecutor& m_executor;
    const ToolBatch m_tc;
    const std::string m_nft;
    const KernelDevices& m_devices;
};
