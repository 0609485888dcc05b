// SPDX-License-Identifier: MIT
#include "PfConf.h"

#include <vector>

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string joinLines(const std::vector<std::string_view>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += lines[i];
    }
    return text;
}

std::string_view trimSpacesAndTabs(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = line.find_last_not_of(" \t");
    return line.substr(first, last - first + 1);
}

bool isFilterAnchorLine(std::string_view line) {
    const std::string_view trimmed = trimSpacesAndTabs(line);
    constexpr std::string_view keyword = "anchor";
    return trimmed.size() > keyword.size() && trimmed.substr(0, keyword.size()) == keyword &&
           (trimmed[keyword.size()] == ' ' || trimmed[keyword.size()] == '\t');
}

} // namespace

namespace PfConf {

bool containsAnchorReference(std::string_view text) {
    return text.find(kAnchorReferenceLine) != std::string_view::npos;
}

std::string withAnchorReferenceInserted(std::string_view text) {
    std::vector<std::string_view> lines = splitLines(text);
    auto position = lines.end();
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (isFilterAnchorLine(*it)) {
            position = it;
            break;
        }
    }
    lines.insert(position, kAnchorReferenceLine);
    return joinLines(lines);
}

std::optional<std::string> withoutAnchorReference(std::string_view text) {
    if (!containsAnchorReference(text)) {
        return std::nullopt;
    }
    std::vector<std::string_view> kept;
    for (const std::string_view line : splitLines(text)) {
        if (trimSpacesAndTabs(line) != kAnchorReferenceLine) {
            kept.push_back(line);
        }
    }
    return joinLines(kept);
}

} // namespace PfConf
