// SPDX-License-Identifier: MIT
#include "ApplicationUnitName.h"

#include "ThrottleScope.h"

#include <cstdlib>
#include <vector>

namespace {

// systemd's "\xNN" escapes; nothing for a malformed one.
std::optional<std::string> unescaped(std::string_view text) {
    std::string plain;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] != '\\') {
            plain += text[index];
            continue;
        }
        if (index + 3 >= text.size() || text[index + 1] != 'x') {
            return std::nullopt;
        }
        const std::string digits(text.substr(index + 2, 2));
        char* end = nullptr;
        const long value = std::strtol(digits.c_str(), &end, 16);
        if (end != digits.c_str() + 2 || value == 0) {
            return std::nullopt;
        }
        plain += static_cast<char>(value);
        index += 3;
    }
    return plain;
}

std::vector<std::string_view> parts(std::string_view text) {
    std::vector<std::string_view> found;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dash = text.find('-', start);
        found.push_back(text.substr(start, dash == std::string_view::npos ? dash : dash - start));
        if (dash == std::string_view::npos) {
            return found;
        }
        start = dash + 1;
    }
}

} // namespace

std::string ApplicationUnitName::applicationSliceOf(unsigned uid) {
    const std::string user = std::to_string(uid);
    return "user.slice/user-" + user + ".slice/user@" + user + ".service/app.slice";
}

std::optional<ApplicationUnitName> ApplicationUnitName::ofCgroup(std::string_view path,
                                                                 unsigned uid, std::string& why) {
    while (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    const std::string slice = applicationSliceOf(uid);
    if (path.substr(0, slice.size() + 1) != slice + "/") {
        const std::string users = "user.slice/user-";
        const std::string own = users + std::to_string(uid) + ".slice/";
        why = path.substr(0, users.size()) == users && path.substr(0, own.size()) != own
                  ? "it is another user's"
                  : "it is not in an application's scope of your systemd manager";
        return std::nullopt;
    }
    // The unit right in the slice, or the one in a slice in it.
    std::string_view rest = path.substr(slice.size() + 1);
    for (int depth = 0; depth < 2 && !rest.empty(); ++depth) {
        const std::string_view unit = rest.substr(0, rest.find('/'));
        if (const auto parsed = parse(unit)) {
            return parsed;
        }
        if (unit.size() < 6 || unit.substr(unit.size() - 6) != ".slice" ||
            unit.size() == rest.size()) {
            break;
        }
        rest.remove_prefix(unit.size() + 1);
    }
    why = "it is not in an application's scope of your systemd manager";
    return std::nullopt;
}

std::optional<ApplicationUnitName> ApplicationUnitName::parse(std::string_view unit) {
    constexpr std::string_view prefix = "app-";
    if (unit.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    const std::size_t dot = unit.rfind('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view type = unit.substr(dot + 1);
    std::string_view name = unit.substr(prefix.size(), dot - prefix.size());
    if (type == "service") {
        name = name.substr(0, name.find('@'));
    } else if (type != "scope" && type != "slice") {
        return std::nullopt;
    }
    std::vector<std::string_view> words = parts(name);
    if (type == "scope") {
        // A scope always ends in what tells it from its siblings.
        if (words.size() < 2 || words.back().empty()) {
            return std::nullopt;
        }
        words.pop_back();
    }
    for (const std::string_view word : words) {
        if (word.empty()) {
            return std::nullopt;
        }
    }
    ApplicationUnitName parsed;
    if (words.size() >= 2) {
        parsed.launcher = std::string(words.front());
        words.erase(words.begin());
    }
    std::string id;
    for (const std::string_view word : words) {
        id += (id.empty() ? "" : "-") + std::string(word);
    }
    const std::optional<std::string> desktopId = unescaped(id);
    if (!desktopId || !ThrottleScope::isApplicationId(*desktopId) ||
        parsed.launcher.find('\\') != std::string::npos) {
        return std::nullopt;
    }
    parsed.desktopId = *desktopId;
    return parsed;
}
