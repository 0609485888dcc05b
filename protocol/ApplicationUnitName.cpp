// SPDX-License-Identifier: MIT
#include "ApplicationUnitName.h"

#include "ThrottleScope.h"

#include <cstdio>
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

// What systemd keeps of a unit name's characters; the rest, a dash
// included, as "\xNN". A leading dot would make a hidden file of the unit.
std::string escaped(std::string_view text) {
    std::string escaped;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto c = static_cast<unsigned char>(text[index]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ':' || c == '_' ||
                           (c == '.' && index > 0);
        if (plain) {
            escaped += char(c);
        } else {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            escaped += code;
        }
    }
    return escaped;
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

std::string ApplicationUnitName::scopeName(std::string_view launcher, std::string_view desktopId,
                                           std::string_view random) {
    return "app-" + escaped(launcher) + "-" + escaped(desktopId) + "-" + std::string(random) +
           ".scope";
}

std::string ApplicationUnitName::applicationSliceOf(unsigned uid) {
    const std::string user = std::to_string(uid);
    return "user.slice/user-" + user + ".slice/user@" + user + ".service/app.slice";
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
