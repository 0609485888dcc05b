// SPDX-License-Identifier: MIT
#include "NetemChange.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kCertain = std::numeric_limits<std::uint32_t>::max();

// A whole number that is all of `text` but its `suffix`.
std::optional<std::uint64_t> number(const std::string& text, const std::string& suffix) {
    if (text.size() <= suffix.size() || !text.ends_with(suffix) || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() - suffix.size()) {
        return std::nullopt;
    }
    return value;
}

// "2.5%" as tc reads it: rounded to the nearest of netem's chances.
std::optional<std::uint32_t> chance(const std::string& text) {
    if (text.size() < 2 || text.back() != '%' || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    const double percent = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() - 1 || percent < 0.0 || percent > 100.0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::rint(percent / 100.0 * kCertain));
}

// "5655:1" or "5656:" as tc reads a handle: hexadecimal major and minor.
std::optional<std::uint32_t> tcHandle(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string::npos || colon > 4 || text.size() - colon > 5) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long major = std::strtoul(text.c_str(), &end, 16);
    if (end != text.c_str() + colon) {
        return std::nullopt;
    }
    unsigned long minor = 0;
    if (colon + 1 < text.size()) {
        minor = std::strtoul(text.c_str() + colon + 1, &end, 16);
        if (end != text.c_str() + text.size()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>((major << 16) | minor);
}

} // namespace

std::optional<NetemChange> NetemChange::parse(const std::vector<std::string>& words) {
    if (words.size() < 11 || words[0] != "qdisc" || words[1] != "change" || words[2] != "dev" ||
        words[4] != "parent" || words[6] != "handle" || words[8] != "netem") {
        return std::nullopt;
    }
    NetemChange change;
    change.device = words[3];
    const auto parent = tcHandle(words[5]);
    const auto own = tcHandle(words[7]);
    if (!parent || !own || (*own & 0xFFFF) != 0) {
        return std::nullopt;
    }
    change.parent = *parent;
    change.handle = *own;
    bool limited = false;
    for (std::size_t at = 9; at < words.size();) {
        const std::string& option = words[at];
        const auto next = [&](std::size_t ahead) -> const std::string* {
            return at + ahead < words.size() ? &words[at + ahead] : nullptr;
        };
        if (option == "limit" && next(1)) {
            const auto value = number(*next(1), "");
            if (!value || *value > std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
            change.limit = static_cast<std::uint32_t>(*value);
            limited = true;
            at += 2;
        } else if (option == "rate" && next(1)) {
            const auto bits = number(*next(1), "bit");
            if (!bits) {
                return std::nullopt;
            }
            change.rateBytesPerSecond = *bits / 8;
            at += 2;
        } else if (option == "delay" && next(1)) {
            const auto latency = number(*next(1), "ms");
            if (!latency) {
                return std::nullopt;
            }
            change.latencyNs = *latency * 1'000'000;
            const auto jitter = next(2) ? number(*next(2), "ms") : std::nullopt;
            if (jitter) {
                change.jitterNs = *jitter * 1'000'000;
            }
            at += jitter ? 3 : 2;
        } else if (option == "loss" && next(2) && *next(1) == "random") {
            const auto loss = chance(*next(2));
            if (!loss) {
                return std::nullopt;
            }
            change.loss = *loss;
            at += 3;
        } else if (option == "loss" && next(5) && *next(1) == "gemodel") {
            std::array<std::uint32_t, 4> model{};
            for (std::size_t index = 0; index < model.size(); ++index) {
                const auto value = chance(*next(2 + index));
                if (!value) {
                    return std::nullopt;
                }
                model[index] = *value;
            }
            change.gilbertElliott = model;
            at += 6;
        } else if ((option == "duplicate" || option == "reorder") && next(1)) {
            const auto value = chance(*next(1));
            if (!value) {
                return std::nullopt;
            }
            (option == "duplicate" ? change.duplicate : change.reorder.emplace()) = *value;
            at += 2;
        } else {
            return std::nullopt;
        }
    }
    if (!limited) {
        return std::nullopt;
    }
    return change;
}
