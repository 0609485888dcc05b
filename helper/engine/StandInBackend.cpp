// SPDX-License-Identifier: MIT
#include "StandInBackend.h"

#include "FileAccess.h"
#include "HelperError.h"
#include "Logger.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

StandInBackend::StandInBackend(const Logger& logger, std::string recordPath, bool changesInPlace)
    : m_logger(logger)
    , m_recordPath(std::move(recordPath))
    , m_changesInPlace(changesInPlace) {}

std::string StandInBackend::describe(const ShapingLayout& layout) {
    std::string text;
    for (const ScopedPlan& throttle : layout.throttles) {
        text += "slot " + std::to_string(throttle.slot);
        if (!throttle.scope.application.empty()) {
            text += " application " + throttle.scope.application;
            for (const std::string& cgroup : throttle.scope.cgroups) {
                text += " " + cgroup;
            }
        } else if (!throttle.scope.cgroups.empty()) {
            text += " cgroup " + throttle.scope.cgroups.front();
        } else if (!throttle.scope.destinations.empty()) {
            text += " only to";
            for (const Destination& destination : throttle.scope.destinations) {
                text += (&destination == &throttle.scope.destinations.front() ? " " : ",") +
                        destination.text();
            }
        } else {
            text += " machine";
        }
        text += " down=" + std::to_string(throttle.plan.download.bandwidthBytesPerSecond) +
                "B/s up=" + std::to_string(throttle.plan.upload.bandwidthBytesPerSecond) + "B/s\n";
    }
    return text;
}

void StandInBackend::applyShaping(const ShapingLayout& layout) {
    m_logger.log("Stand-in applied " + std::to_string(layout.throttles.size()) + " throttles");
    FileAccess::makeParentFolders(m_recordPath);
    FileAccess::replaceAtomically(m_recordPath, describe(layout), FileAccess::ExistingFile::replace,
                                  0600, FileAccess::Durability::untilReboot);
}

bool StandInBackend::changeShaping(const ShapingLayout& layout) {
    if (!m_changesInPlace) {
        return false;
    }
    m_logger.log("Stand-in changed to " + std::to_string(layout.throttles.size()) + " throttles");
    FileAccess::replaceAtomically(m_recordPath, describe(layout), FileAccess::ExistingFile::replace,
                                  0600, FileAccess::Durability::untilReboot);
    return true;
}

bool StandInBackend::changeConditions(const ShapingLayout& layout) {
    if (!m_changesInPlace) {
        return false;
    }
    FileAccess::replaceAtomically(m_recordPath, describe(layout), FileAccess::ExistingFile::replace,
                                  0600, FileAccess::Durability::untilReboot);
    return true;
}

void StandInBackend::removeShaping() {
    if (::unlink(m_recordPath.c_str()) != 0 && errno != ENOENT) {
        throw HelperError::cleanupIncomplete(m_recordPath + ": " + std::strerror(errno));
    }
}

bool StandInBackend::hasRecordedChanges() const {
    struct stat status {};
    return ::lstat(m_recordPath.c_str(), &status) == 0;
}

ShapingStatistics StandInBackend::statistics() const {
    // Every throttle on record, with nothing passed: nothing is shaped.
    ShapingStatistics statistics;
    std::string text;
    try {
        text = FileAccess::readUtf8File(m_recordPath, FileAccess::Links::refuse);
    } catch (const std::system_error&) {
        return statistics;
    }
    std::istringstream lines(text);
    for (std::string word; lines >> word;) {
        int slot = 0;
        if (word == "slot" && lines >> slot) {
            statistics.bySlot.push_back({slot, DirectionStatistics{}, DirectionStatistics{}});
        }
    }
    return statistics;
}
