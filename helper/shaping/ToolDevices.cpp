// SPDX-License-Identifier: MIT
#include "ToolDevices.h"

#include "CommandExecutor.h"
#include "HelperError.h"

#include <sstream>

ToolDevices::ToolDevices(const CommandExecutor& executor, std::string tc, std::string ip,
                         std::string batchBeside)
    : m_executor(executor)
    , m_tc(std::move(tc))
    , m_ip(executor, std::move(ip), std::move(batchBeside)) {}

std::vector<QdiscInfo> ToolDevices::qdiscs(const std::string& interface) const {
    const CommandResult result = m_executor.execute(m_tc, {"qdisc", "show", "dev", interface});
    if (result.exitCode != 0) {
        throw HelperError::commandFailed("Failed to read the qdiscs of " + interface + ": " +
                                         result.combinedOutput());
    }
    // "qdisc <kind> <handle> root ..." or "qdisc <kind> <handle> parent ...".
    std::vector<QdiscInfo> found;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, kind, handle, position;
        if ((words >> word >> kind >> handle >> position) && word == "qdisc") {
            found.push_back({kind, handle, position == "root"});
        }
    }
    return found;
}

std::vector<LineOutcome> ToolDevices::runIp(const std::vector<std::vector<std::string>>& lines,
                                            bool carryOn) const {
    return m_ip.run(lines, carryOn);
}

std::string ToolDevices::commandLine(const std::vector<std::string>& arguments) const {
    std::string line = m_ip.tool();
    for (const auto& argument : arguments) {
        line += " " + argument;
    }
    return line;
}
