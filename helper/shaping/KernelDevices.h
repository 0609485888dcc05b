// SPDX-License-Identifier: MIT
#pragma once

#include "ToolBatch.h"

#include <optional>
#include <string>
#include <vector>

// A qdisc as `tc qdisc show` names it: "htb", "1:", and whether it is the
// interface's root.
struct QdiscInfo {
    std::string kind;
    std::string handle;
    bool isRoot = false;
};

// What shaping asks of the network devices besides most of tc's steps: the
// qdiscs an interface carries, the ip steps that make, raise and remove the
// IFB devices, and the removal of a shaping's qdiscs. The installed daemon
// asks the kernel over rtnetlink in its own process; tests run tc and ip,
// which a test can stand in for.
class KernelDevices {
public:
    virtual ~KernelDevices() = default;

    // Throws commandFailed when they cannot be read, and the runner's errors.
    virtual std::vector<QdiscInfo> qdiscs(const std::string& interface) const = 0;

    // Runs ip's arguments in order, as ToolBatch::run does.
    virtual std::vector<LineOutcome> runIp(const std::vector<std::vector<std::string>>& lines,
                                           bool carryOn) const = 0;

    // Runs tc's removals of whole qdiscs ("qdisc del dev NAME root handle
    // H", "qdisc del dev NAME handle H ingress") as tc -force -batch would;
    // nothing when any line is another step, which tc then runs.
    virtual std::optional<std::vector<LineOutcome>>
    removeQdiscs(const std::vector<std::vector<std::string>>& lines) const = 0;

    // Runs tc's changes of netem leaves in place ("qdisc change dev NAME
    // parent P handle H netem ...", see NetemChange) as tc -batch would,
    // stopping at the first refused; nothing when any line is another step,
    // which tc then runs. Logs nothing: a schedule steps up to ten times a
    // second.
    virtual std::optional<std::vector<LineOutcome>>
    changeLeaves(const std::vector<std::vector<std::string>>&) const {
        return std::nullopt;
    }

    // How the outcome of ip's `arguments` is named in a message.
    virtual std::string commandLine(const std::vector<std::string>& arguments) const = 0;
};
