// SPDX-License-Identifier: MIT
#include "CgroupV2Mount.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A host whose cgroup2 file systems are mounted on `folders`.
std::function<bool(const QByteArray&)> cgroup2On(std::set<QByteArray> folders) {
    return [folders](const QByteArray& folder) { return folders.count(folder) > 0; };
}

TEST(CgroupV2MountTest, TheHierarchyIsAtTheMountPointOrAtUnifiedBesideCgroupV1) {
    const QByteArray at = "/sys/fs/cgroup";
    EXPECT_EQ(CgroupV2Mount::find(at, cgroup2On({"/sys/fs/cgroup"})), "/sys/fs/cgroup");
    // A hybrid host: cgroup v1 controllers at the mount point.
    EXPECT_EQ(CgroupV2Mount::find(at, cgroup2On({"/sys/fs/cgroup/unified"})),
              "/sys/fs/cgroup/unified");
    EXPECT_EQ(CgroupV2Mount::find(at, cgroup2On({})), std::nullopt);
}

} // namespace
