// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A change of a netem leaf in place, as the kernel takes it: read from the
// words of tc's "qdisc change dev DEVICE parent P handle H netem ..." that
// the shaping steps write (netemArguments), and nothing else. So that a
// schedule's step, ten times a second, is one message to the kernel instead
// of a run of tc, whose start costs more than the daemon's whole step.
struct NetemChange {
    std::string device;
    std::uint32_t parent = 0;
    std::uint32_t handle = 0;

    std::uint32_t limit = 0;
    std::uint64_t latencyNs = 0;
    std::uint64_t jitterNs = 0;
    // Chances as netem holds them: 0 to 2^32 - 1 for 0 to 100 %.
    std::uint32_t loss = 0;
    std::uint32_t duplicate = 0;
    // What tc sends only when named, and the kernel otherwise keeps.
    std::optional<std::uint64_t> rateBytesPerSecond;
    std::optional<std::uint32_t> reorder;
    // p, r, 1 - h and 1 - k of a Gilbert-Elliott loss, as the words give them.
    std::optional<std::array<std::uint32_t, 4>> gilbertElliott;

    // Nothing for any word it does not know: tc then runs the line.
    static std::optional<NetemChange> parse(const std::vector<std::string>& words);

    bool operator==(const NetemChange&) const = default;
};
