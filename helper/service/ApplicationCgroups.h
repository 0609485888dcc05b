// SPDX-License-Identifier: MIT
#pragma once

#include "CgroupMembers.h"

#include <string>
#include <vector>

// Where a user's systemd manager runs that user's desktop applications, and
// which of those cgroups are one application's: the folders named for it
// (see ApplicationUnitName) in the user's "app.slice", or in a slice there.
// A slice named for the application stands for all it holds.
class ApplicationCgroups final {
public:
    ApplicationCgroups(CgroupHierarchy hierarchy, std::string procRoot);

    const CgroupHierarchy& hierarchy() const { return m_hierarchy; }

    // "user.slice/user-UID.slice/user@UID.service/app.slice", below the
    // hierarchy, and the folders above it down from "user.slice", so that
    // a watch sees a manager that starts later.
    static std::vector<std::string> levelsOf(uint uid);
    // The slices in `uid`'s application slice, below the hierarchy: new
    // scopes may appear in them too.
    std::vector<std::string> slicesOf(uint uid) const;
    // The scopes of `desktopId` that `uid` may throttle (each passes
    // cgroupRefusal), below the hierarchy, sorted, at most
    // ThrottleScope::kMaxCgroups of them.
    std::vector<std::string> find(uint uid, const std::string& desktopId) const;

private:
    CgroupHierarchy m_hierarchy;
    std::string m_procRoot;
};
