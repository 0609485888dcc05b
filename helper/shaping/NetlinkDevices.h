// SPDX-License-Identifier: MIT
#pragma once

#include "KernelDevices.h"

class Logger;

// Over rtnetlink, in the network namespace of the calling thread. Takes the
// three ip steps of shaping ("link add NAME type ifb", "link set dev NAME
// up", "link delete dev NAME") and answers as ip does; messages name them
// as the ip command at `ip`.
class NetlinkDevices final : public KernelDevices {
public:
    NetlinkDevices(const Logger& logger, std::string ip);

    std::vector<QdiscInfo> qdiscs(const std::string& interface) const override;
    std::vector<LineOutcome> runIp(const std::vector<std::vector<std::string>>& lines,
                                   bool carryOn) const override;
    std::string commandLine(const std::vector<std::string>& arguments) const override;

private:
    const Logger& m_logger;
    const std::string m_ip;
};
