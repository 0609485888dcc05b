// SPDX-License-Identifier: MIT
#include "ApplicationCgroups.h"

#include "ApplicationUnitName.h"
#include "ThrottleScope.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// The folders in `folder`, by name; none when it cannot be read.
std::vector<std::string> foldersIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_directory(error) && !entry->is_symlink(error)) {
            names.push_back(entry->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isSlice(const std::string& name) {
    return name.size() > 6 && name.compare(name.size() - 6, 6, ".slice") == 0;
}

} // namespace

ApplicationCgroups::ApplicationCgroups(CgroupHierarchy hierarchy, std::string procRoot)
    : m_hierarchy(std::move(hierarchy))
    , m_procRoot(std::move(procRoot)) {}

std::vector<std::string> ApplicationCgroups::levelsOf(uint uid) {
    std::vector<std::string> levels;
    const std::string slice = ApplicationUnitName::applicationSliceOf(uid);
    for (std::size_t slash = slice.find('/'); slash != std::string::npos;
         slash = slice.find('/', slash + 1)) {
        levels.push_back(slice.substr(0, slash));
    }
    levels.push_back(slice);
    return levels;
}

std::vector<std::string> ApplicationCgroups::slicesOf(uint uid) const {
    const std::string applications = levelsOf(uid).back();
    std::vector<std::string> slices;
    for (const std::string& name : foldersIn(m_hierarchy.root + "/" + applications)) {
        if (isSlice(name)) {
            slices.push_back(applications + "/" + name);
        }
    }
    return slices;
}

std::vector<std::string> ApplicationCgroups::find(uint uid, const std::string& desktopId) const {
    std::vector<std::string> found;
    const auto isTheApplications = [&](const std::string& name) {
        const std::optional<ApplicationUnitName> unit = ApplicationUnitName::parse(name);
        return unit && unit->desktopId == desktopId;
    };
    const auto take = [&](const std::string& path) {
        if (found.size() < ThrottleScope::kMaxCgroups && ThrottleScope::isCgroupPath(path) &&
            !cgroupRefusal(m_hierarchy, m_procRoot, path, uid)) {
            found.push_back(path);
        }
    };
    const std::string applications = levelsOf(uid).back();
    for (const std::string& name : foldersIn(m_hierarchy.root + "/" + applications)) {
        const std::string path = applications + "/" + name;
        if (isTheApplications(name)) {
            take(path);
        } else if (isSlice(name)) {
            for (const std::string& inner : foldersIn(m_hierarchy.root + "/" + path)) {
                if (isTheApplications(inner)) {
                    take(path + "/" + inner);
                }
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}
