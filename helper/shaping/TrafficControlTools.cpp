// SPDX-License-Identifier: MIT
#include "TrafficControlTools.h"

#include "CommandExecutor.h"
#include "FileAccess.h"
#include "KernelDevices.h"

#include <exception>
#include <new>
#include <utility>

namespace {

// How tc and ip report a qdisc kind or link type the kernel does not know.
bool reportsMissingKernelFeature(const std::string& output) {
    // nft says only that the kernel does not support what a rule needs.
    for (const char* missing :
         {"qdisc kind is unknown", "Unknown device type", "Failed to load TC action module",
          "Unknown filter", "Operation not supported"}) {
        if (output.find(missing) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// How tc and ip report that what a clean-up step removes is not there (any
// more): a device gone, a qdisc of ours gone or replaced by another's (the
// kernel compares the handle, and for the ingress qdisc the kind). Such a
// step has nothing left to do.
bool reportsAlreadyGone(const std::string& output) {
    for (const char* gone :
         {"Cannot find device", "No such file or directory", "Invalid handle",
          "Cannot delete qdisc with handle of zero", "Cannot find specified qdisc",
          "must match existing qdisc", "Invalid qdisc name"}) {
        if (output.find(gone) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The end of the run of steps of one tool that starts at `first`.
size_t endOfGroup(const std::vector<TrafficControlStep>& steps, size_t first) {
    size_t end = first;
    while (end < steps.size() && steps[end].tool == steps[first].tool) {
        ++end;
    }
    return end;
}

} // namespace

TrafficControlTools::TrafficControlTools(const CommandExecutor& executor, std::string tc,
                                         std::string nft, const KernelDevices& devices,
                                         std::string batchBeside)
    : m_executor(executor)
    , m_tc(executor, std::move(tc), std::move(batchBeside))
    , m_nft(std::move(nft))
    , m_devices(devices) {}

std::vector<LineOutcome>
TrafficControlTools::runNft(const std::vector<std::vector<std::string>>& lines, Pass pass) const {
    std::vector<LineOutcome> outcomes(lines.size());
    if (pass == Pass::applying) {
        // One run, one transaction: the kernel makes all of it or none, so
        // a refusal is the first line's, and nothing after it was made.
        std::vector<std::string> script;
        for (const auto& line : lines) {
            if (!script.empty()) {
                script.push_back(";");
            }
            script.insert(script.end(), line.begin(), line.end());
        }
        const CommandResult result = m_executor.execute(m_nft, script);
        if (result.exitCode == 0) {
            for (LineOutcome& outcome : outcomes) {
                outcome.state = LineOutcome::State::done;
            }
        } else if (!outcomes.empty()) {
            outcomes.front() = {LineOutcome::State::refused, result.combinedOutput()};
        }
        return outcomes;
    }
    // Removals one by one.
    for (size_t index = 0; index < lines.size(); ++index) {
        const CommandResult result = m_executor.execute(m_nft, lines[index]);
        outcomes[index] = result.exitCode == 0
                              ? LineOutcome{LineOutcome::State::done}
                              : LineOutcome{LineOutcome::State::refused, result.combinedOutput()};
    }
    return outcomes;
}

std::vector<LineOutcome> TrafficControlTools::runGroup(const std::vector<TrafficControlStep>& steps,
                                                       size_t first, size_t end, Pass pass) const {
    std::vector<std::vector<std::string>> lines;
    for (size_t index = first; index < end; ++index) {
        lines.push_back(steps[index].arguments);
    }
    const bool carryOn = pass == Pass::removing;
    switch (steps[first].tool) {
    case TrafficControlStep::Tool::tc:
        if (pass == Pass::removing) {
            if (auto removed = m_devices.removeQdiscs(lines)) {
                return std::move(*removed);
            }
        } else if (auto changed = m_devices.changeLeaves(lines)) {
            return std::move(*changed);
        }
        return m_tc.run(lines, carryOn);
    case TrafficControlStep::Tool::ip:
        return m_devices.runIp(lines, carryOn);
    case TrafficControlStep::Tool::nft:
        break;
    }
    return runNft(lines, pass);
}

TrafficControlTools::Progress
TrafficControlTools::runAll(const std::vector<TrafficControlStep>& steps) const {
    Progress progress;
    for (size_t first = 0; first < steps.size();) {
        const size_t end = endOfGroup(steps, first);
        const std::vector<LineOutcome> outcomes = runGroup(steps, first, end, Pass::applying);
        for (const LineOutcome& outcome : outcomes) {
            if (outcome.state == LineOutcome::State::done) {
                ++progress.made;
                continue;
            }
            const TrafficControlStep& step = steps[progress.made];
            progress.refusal =
                step.kernelFeature != nullptr && reportsMissingKernelFeature(outcome.output)
                    ? HelperError::commandFailed(step.failure + "the kernel lacks " +
                                                 step.kernelFeature + ": " + outcome.output)
                    : HelperError::commandFailed(step.failure + outcome.output);
            return progress;
        }
        first = end;
    }
    return progress;
}

std::vector<std::optional<std::string>>
TrafficControlTools::removeAll(const std::vector<TrafficControlStep>& steps) const {
    std::vector<std::optional<std::string>> failures(steps.size());
    for (size_t first = 0; first < steps.size();) {
        const size_t end = endOfGroup(steps, first);
        std::vector<LineOutcome> outcomes;
        // A run that never told line by line leaves each of its steps
        // failed: none of them is known to be gone.
        std::optional<std::string> groupFailure;
        bool namesItsCommand = false;
        try {
            outcomes = runGroup(steps, first, end, Pass::removing);
        } catch (const CommandTimeout& timeout) {
            groupFailure = timeout.what();
            namesItsCommand = true;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& error) {
            groupFailure = error.what();
        }
        for (size_t index = first; index < end; ++index) {
            if (groupFailure) {
                failures[index] = namesItsCommand
                                      ? *groupFailure
                                      : commandLine(steps[index]) + ": " + *groupFailure;
                continue;
            }
            const LineOutcome& outcome = outcomes.at(index - first);
            if (outcome.state == LineOutcome::State::refused &&
                !reportsAlreadyGone(outcome.output)) {
                failures[index] = commandLine(steps[index]) + ": " + outcome.output;
            }
        }
        first = end;
    }
    return failures;
}

std::string TrafficControlTools::commandLine(const TrafficControlStep& step) const {
    if (step.tool == TrafficControlStep::Tool::ip) {
        return m_devices.commandLine(step.arguments);
    }
    std::string line = step.tool == TrafficControlStep::Tool::nft ? m_nft : m_tc.tool();
    for (const auto& argument : step.arguments) {
        line += " " + argument;
    }
    return line;
}

void TrafficControlTools::removeLeftoverBatches() const noexcept {
    FileAccess::removeLeftoverTemporaries(m_tc.fileBeside());
}
