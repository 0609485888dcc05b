// SPDX-License-Identifier: MIT
#include "CgroupV2Mount.h"

#include <linux/magic.h>
#include <sys/statfs.h>

namespace CgroupV2Mount {

bool isCgroup2(const QByteArray& folder) {
    struct statfs mounted {};
    return ::statfs(folder.constData(), &mounted) == 0 && mounted.f_type == CGROUP2_SUPER_MAGIC;
}

std::optional<QByteArray> find(const QByteArray& mountPoint,
                               const std::function<bool(const QByteArray&)>& onCgroup2) {
    for (const QByteArray& candidate : {mountPoint, mountPoint + "/unified"}) {
        if (onCgroup2(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace CgroupV2Mount
