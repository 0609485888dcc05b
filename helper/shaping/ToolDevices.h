// SPDX-License-Identifier: MIT
#pragma once

#include "KernelDevices.h"

// Through the tools at the given paths, one run of ip for a whole batch.
class ToolDevices final : public KernelDevices {
public:
    ToolDevices(const CommandExecutor& executor, std::string tc, std::string ip,
                std::string batchBeside);

    std::vector<QdiscInfo> qdiscs(const std::string& interface) const override;
    std::vector<LineOutcome> runIp(const std::vector<std::vector<std::string>>& lines,
                                   bool carryOn) const override;
    std::optional<std::vector<LineOutcome>>
    removeQdiscs(const std::vector<std::vector<std::string>>&) const override {
        return std::nullopt;
    }
    std::string commandLine(const std::vector<std::string>& arguments) const override;

private:
    const CommandExecutor& m_executor;
    const std::string m_tc;
    const ToolBatch m_ip;
};
