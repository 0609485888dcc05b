// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// Every file and tool the engine touches. The defaults are the production
// paths; the test daemon moves all of them under one sandbox folder.
struct EnginePaths {
    std::string dnctl = "/usr/sbin/dnctl";
    std::string pfctl = "/sbin/pfctl";
    std::string pfConf = "/etc/pf.conf";
    std::string anchorRules = "/tmp/veltrane_anchor.conf";
    std::string tc = "/usr/sbin/tc";
    std::string ip = "/usr/sbin/ip";
    std::string nft = "/usr/sbin/nft";
    // Root-only, on a file system that does not outlive a reboot, as the
    // shaping it lists does not.
    std::string changeRecord = "/run/veltrane/shaping.record";
    // Who owns the throttling in force, beside the record, so that a hold
    // outlives a daemon that was killed.
    std::string ownerRecord = "/run/veltrane/owner";
    // Where cgroups are mounted: a command's scope is a cgroup of the v2
    // hierarchy, there or at "unified" in it (see CgroupHierarchy).
    std::string cgroupRoot = "/sys/fs/cgroup";

    // The same paths with `root` put in front of each; `root` is an absolute
    // folder without a trailing slash.
    static EnginePaths underRoot(const std::string& root) {
        EnginePaths paths;
        for (std::string* path :
             {&paths.dnctl, &paths.pfctl, &paths.pfConf, &paths.anchorRules, &paths.tc, &paths.ip,
              &paths.nft, &paths.changeRecord, &paths.ownerRecord, &paths.cgroupRoot}) {
            *path = root + *path;
        }
        return paths;
    }
};
