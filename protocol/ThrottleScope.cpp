// SPDX-License-Identifier: MIT
#include "ThrottleScope.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kMaxCgroupPathLength = 4096;

// Characters, not bytes: a name may be typed in any script.
std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xc0) != 0x80 ? 1 : 0;
    }
    return count;
}

} // namespace

ThrottleScope::Kind ThrottleScope::kind() const {
    if (!application.empty()) {
        return Kind::application;
    }
    if (!cgroups.empty()) {
        return Kind::command;
    }
    return destinations.empty() ? Kind::machine : Kind::destinations;
}

std::optional<std::string> ThrottleScope::check() const {
    if (destinations.size() > kMaxDestinations || names.size() > kMaxDestinations) {
        return "A throttle can have at most " + std::to_string(kMaxDestinations) + " destinations";
    }
    for (const std::string& name : names) {
        if (characterCount(name) > kMaxNameLength) {
            return "A destination's name has at most " + std::to_string(kMaxNameLength) +
                   " characters";
        }
    }
    for (const Destination& destination : destinations) {
        if (destination.kind == Destination::Kind::hostName) {
            return "Destination " + destination.hostName +
                   " must be resolved to its addresses before it is sent";
        }
    }
    if ((!cgroups.empty() || !application.empty()) && !destinations.empty()) {
        return "A throttle's scope is either a command, an application or destinations, not two";
    }
    if (!application.empty() && !isApplicationId(application)) {
        return "Invalid application id";
    }
    if (application.empty() && cgroups.size() > 1) {
        return "A command's processes are in one cgroup";
    }
    if (cgroups.size() > kMaxCgroups) {
        return "An application is followed in at most " + std::to_string(kMaxCgroups) +
               " scopes at once";
    }
    for (std::size_t index = 0; index < cgroups.size(); ++index) {
        if (!isCgroupPath(cgroups[index])) {
            return "Invalid cgroup path";
        }
        for (std::size_t other = 0; other < index; ++other) {
            if (cgroups[other] == cgroups[index]) {
                return "A cgroup is listed twice";
            }
        }
    }
    return std::nullopt;
}

std::string ThrottleScope::logText() const {
    if (!application.empty()) {
        return "only for application " + application;
    }
    if (!cgroups.empty()) {
        return "only for cgroup " + cgroups.front();
    }
    std::string text = "only to ";
    for (const Destination& destination : destinations) {
        text += (&destination == &destinations.front() ? "" : ", ") + destination.text();
    }
    return text;
}

bool ThrottleScope::isApplicationId(std::string_view id) {
    if (id.empty() || id.size() > kMaxApplicationLength || id.front() == '.' || id.front() == '-') {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '+' || c == '-';
    });
}

bool ThrottleScope::isCgroupPath(std::string_view path) {
    if (path.empty() || path.size() > kMaxCgroupPathLength || path.front() == '/' ||
        path.back() == '/') {
        return false;
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return false;
        }
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view component = path.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}
