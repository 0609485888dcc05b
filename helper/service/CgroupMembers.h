// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <string>

struct CgroupRefusal {
    // The cgroup holds a process the caller may not throttle; otherwise
    // the cgroup itself is wrong.
    bool notAuthorized = false;
    QString message;
};

// Why a caller of `callerUid` may not throttle the processes of `path`, a
// cgroup below `cgroupRoot`; nothing when it may. It must exist and be the
// caller's (its folder owned by the caller), and every process in it that
// `procRoot`/PID/status shows must be the caller's, all four of its user
// ids, so that no one throttles another user's programs; root may take any.
std::optional<CgroupRefusal> cgroupRefusal(const std::string& cgroupRoot,
                                           const std::string& procRoot, const std::string& path,
                                           uint callerUid);
