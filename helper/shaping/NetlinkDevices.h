// SPDX-License-Identifier: MIT
#pragma once

#include "KernelDevices.h"

#include <memory>

class Logger;

// Over rtnetlink, in the network namespace of the calling thread. Takes the
// three ip steps of shaping ("link add NAME type ifb", "link set dev NAME
// up", "link delete dev NAME"), the removals of its qdiscs and the changes of
// its netem leaves, and answers as
// ip and tc do; messages name them as the commands at `ip` and `tc`.
// Switching off then starts no process at all.
class NetlinkDevices final : public KernelDevices {
public:
    NetlinkDevices(const Logger& logger, std::string ip, std::string tc);
    ~NetlinkDevices() override;

    std::vector<QdiscInfo> qdiscs(const std::string& interface) const override;
    std::vector<LineOutcome> runIp(const std::vector<std::vector<std::string>>& lines,
                                   bool carryOn) const override;
    std::optional<std::vector<LineOutcome>>
    removeQdiscs(const std::vector<std::vector<std::string>>& lines) const override;
    std::optional<std::vector<LineOutcome>>
    changeLeaves(const std::vector<std::vector<std::string>>& lines) const override;
    std::string commandLine(const std::vector<std::string>& arguments) const override;

private:
    const Logger& m_logger;
    const std::string m_ip;
    const std::string m_tc;
    struct ChangeSocket;
    const std::unique_ptr<ChangeSocket> m_changeSocket;

    template <typename Step>
    std::vector<LineOutcome> runEach(const std::string& tool,
                                     const std::vector<std::vector<std::string>>& lines,
                                     bool carryOn, Step step) const;
};
