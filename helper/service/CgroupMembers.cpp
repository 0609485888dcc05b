// SPDX-License-Identifier: MIT
#include "CgroupMembers.h"

#include <array>
#include <fstream>
#include <linux/magic.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace {

// The real, effective, saved and file-system user ids of a process; nothing
// when it is gone.
std::optional<std::array<unsigned long, 4>> userIdsOf(const std::string& procRoot,
                                                      const std::string& pid) {
    std::ifstream status(procRoot + "/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) == 0) {
            std::istringstream numbers(line.substr(4));
            std::array<unsigned long, 4> ids{};
            for (unsigned long& id : ids) {
                if (!(numbers >> id)) {
                    return std::nullopt;
                }
            }
            return ids;
        }
    }
    return std::nullopt;
}

} // namespace

bool CgroupHierarchy::isOnCgroup2(const std::string& folder) {
    struct statfs mounted {};
    return ::statfs(folder.c_str(), &mounted) == 0 && mounted.f_type == CGROUP2_SUPER_MAGIC;
}

CgroupHierarchy CgroupHierarchy::of(const std::string& mountPoint) {
    const std::string hybrid = mountPoint + "/unified";
    return {!isOnCgroup2(mountPoint) && isOnCgroup2(hybrid) ? hybrid : mountPoint};
}

std::optional<CgroupRefusal> cgroupRefusal(const CgroupHierarchy& hierarchy,
                                           const std::string& procRoot, const std::string& path,
                                           uint callerUid) {
    const QString shown = QString::fromStdString(path);
    const std::string folder = hierarchy.root + "/" + path;
    struct stat status {};
    std::ifstream procs(folder + "/cgroup.procs");
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || !procs) {
        return CgroupRefusal{false, QStringLiteral("There is no cgroup %1").arg(shown)};
    }
    if (hierarchy.checksFileSystem && !CgroupHierarchy::isOnCgroup2(folder)) {
        return CgroupRefusal{
            false, QStringLiteral("The cgroup %1 is not on the cgroup v2 hierarchy").arg(shown)};
    }
    if (callerUid == 0) {
        return std::nullopt;
    }
    // The daemon may not see other users' processes (/proc is mounted for it
    // with those hidden), so a pid it cannot read proves nothing. The folder
    // does: only the user a cgroup is delegated to owns it, and no one but
    // root moves another user's process into it.
    if (status.st_uid != callerUid) {
        return CgroupRefusal{true, QStringLiteral("The cgroup %1 is not yours").arg(shown)};
    }
    std::string pid;
    while (procs >> pid) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            return CgroupRefusal{false,
                                 QStringLiteral("The cgroup %1 lists no processes").arg(shown)};
        }
        const auto ids = userIdsOf(procRoot, pid);
        if (!ids) {
            // Exited since it was listed, or hidden from the daemon: in a
            // cgroup of the caller's own, either is the caller's.
            continue;
        }
        for (const unsigned long id : *ids) {
            if (id != callerUid) {
                return CgroupRefusal{
                    true, QStringLiteral("The cgroup %1 holds process %2, which is not yours")
                              .arg(shown, QString::fromStdString(pid))};
            }
        }
    }
    return std::nullopt;
}
