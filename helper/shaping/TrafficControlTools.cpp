// SPDX-License-Identifier: MIT
#include "TrafficControlTools.h"

#include "CommandExecutor.h"
#include "HelperError.h"

#include <exception>

namespace {

// How tc and ip report a qdisc kind or link type the kernel does not know.
bool reportsMissingKernelFeature(const std::string& output) {
    return output.find("qdisc kind is unknown") != std::string::npos ||
           output.find("Unknown device type") != std::string::npos;
}

// How tc and ip report that what a clean-up step removes is not there (any
// more): a device gone, a qdisc of ours gone or replaced by another's. Such
// a step has nothing left to do.
bool reportsAlreadyGone(const std::string& output) {
    for (const char* gone : {"Cannot find device", "No such file or directory", "Invalid handle",
                             "Cannot delete qdisc with handle of zero",
                             "Cannot find specified qdisc", "must match existing qdisc"}) {
        if (output.find(gone) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TrafficControlTools::TrafficControlTools(const CommandExecutor& executor, std::string tc,
                                         std::string ip)
    : m_executor(executor)
    , m_tc(std::move(tc))
    , m_ip(std::move(ip)) {}

const std::string& TrafficControlTools::pathOf(TrafficControlStep::Tool tool) const {
    return tool == TrafficControlStep::Tool::tc ? m_tc : m_ip;
}

std::string TrafficControlTools::run(const TrafficControlStep& step) const {
    const CommandResult result = m_executor.execute(pathOf(step.tool), step.arguments);
    if (result.exitCode == 0) {
        return result.output;
    }
    const std::string output = result.combinedOutput();
    if (step.kernelFeature != nullptr && reportsMissingKernelFeature(output)) {
        throw HelperError::commandFailed(step.failure + "the kernel lacks " + step.kernelFeature +
                                         ": " + output);
    }
    throw HelperError::commandFailed(step.failure + output);
}

std::optional<std::string> TrafficControlTools::runRemoval(const TrafficControlStep& step) const {
    const std::string& tool = pathOf(step.tool);
    std::string commandLine = tool;
    for (const auto& argument : step.arguments) {
        commandLine += " " + argument;
    }
    CommandResult result;
    try {
        result = m_executor.execute(tool, step.arguments);
    } catch (const CommandTimeout& timeout) {
        return timeout.what();
    } catch (const std::exception& error) {
        return commandLine + ": " + error.what();
    }
    if (result.exitCode == 0 || reportsAlreadyGone(result.combinedOutput())) {
        return std::nullopt;
    }
    const std::string output = result.combinedOutput();
    return commandLine + ": " +
           (output.empty() ? "exit status " + std::to_string(result.exitCode) : output);
}
