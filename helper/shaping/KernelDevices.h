// SPDX-License-Identifier: MIT
#pragma once

#include "ToolBatch.h"

#include <string>
#include <vector>

// A qdisc as `tc qdisc show` names it: "htb", "1:", and whether it is the
// interface's root.
struct QdiscInfo {
    std::string kind;
    std::string handle;
    bool isRoot = false;
};

// What shaping asks of the network devices besides tc's steps: the qdiscs an
// interface carries, and the ip steps that make, raise and remove the IFB
// devices. The installed daemon asks the kernel over rtnetlink in its own
// process; tests run tc and ip, which a test can stand in for.
class KernelDevices {
public:
    virtual ~KernelDevices() = default;

    // Throws commandFailed when they cannot be read, and the runner's errors.
    virtual std::vector<QdiscInfo> qdiscs(const std::string& interface) const = 0;

    // Runs ip's arguments in order, as ToolBatch::run does.
    virtual std::vector<LineOutcome> runIp(const std::vector<std::vector<std::string>>& lines,
                                           bool carryOn) const = 0;

    // How the outcome of `arguments` is named in a message.
    virtual std::string commandLine(const std::vector<std::string>& arguments) const = 0;
};
