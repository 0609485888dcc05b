// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

// Where the cgroup v2 hierarchy is mounted: a command's cgroup is made
// there, and the helper takes its path below the same place.
namespace CgroupV2Mount {

// Whether `folder` is on a cgroup2 file system.
bool isCgroup2(const QByteArray& folder);

// The hierarchy of a host that mounts its cgroups at `mountPoint`: there on
// a unified host, at "unified" in it on a hybrid one (cgroup v1 beside it),
// as the helper finds it; nothing where neither holds cgroup2.
std::optional<QByteArray> find(const QByteArray& mountPoint,
                               const std::function<bool(const QByteArray&)>& onCgroup2 = isCgroup2);

} // namespace CgroupV2Mount
