// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <string>

// Where commands' cgroups are: the cgroup v2 hierarchy, whose paths nftables
// matches sockets by.
struct CgroupHierarchy {
    // Its mount point.
    std::string root;
    // Whether each cgroup must show by its file system that it lies on it:
    // off only for a sandbox that imitates it with plain folders.
    bool checksFileSystem = true;

    // The hierarchy of a host that mounts its cgroups at `mountPoint`:
    // there on a unified host, at "unified" in it on a hybrid one (cgroup v1
    // beside it). Where neither holds cgroup2, `mountPoint`, on which every
    // cgroup is then refused.
    static CgroupHierarchy of(const std::string& mountPoint);
    // Whether `folder` is on a cgroup2 file system.
    static bool isOnCgroup2(const std::string& folder);
};

struct CgroupRefusal {
    // The cgroup holds a process the caller may not throttle; otherwise
    // the cgroup itself is wrong.
    bool notAuthorized = false;
    QString message;
};

// Why a caller of `callerUid` may not throttle the processes of `path`, a
// cgroup of `hierarchy`; nothing when it may. It must exist on the cgroup v2
// hierarchy (a cgroup v1 folder marks no socket) and be the caller's (its
// folder owned by the caller), and every process in it that
// `procRoot`/PID/status shows must be the caller's, all four of its user
// ids, so that no one throttles another user's programs; root may take any.
std::optional<CgroupRefusal> cgroupRefusal(const CgroupHierarchy& hierarchy,
                                           const std::string& procRoot, const std::string& path,
                                           uint callerUid);
