// SPDX-License-Identifier: MIT
#include "DummynetStatistics.h"

#include "CommandExecutor.h"
#include "HelperError.h"
#include "ShapingLayout.h"
#include "ToolListing.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

namespace {

// A flow's line ends in its counters: "Tot_pkt/bytes Pkt/Byte Drp".
struct FlowCounters {
    std::uint64_t arrivedPackets = 0;
    std::uint64_t arrivedBytes = 0;
    std::uint64_t queuedPackets = 0;
    std::uint64_t queuedBytes = 0;
    std::uint64_t dropped = 0;
};

// "  0 tcp  192.168.1.5/51234  17.253.1.1/443  1234 567890  3 4500  12": a
// bucket number first, the addresses (IPv4 or IPv6) in between.
std::optional<FlowCounters> flowOf(const std::vector<std::string>& words) {
    if (words.size() < 7 || !ToolListing::wholeNumber(words[0])) {
        return std::nullopt;
    }
    std::uint64_t counters[5] = {};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto value = ToolListing::wholeNumber(words[words.size() - 5 + i]);
        if (!value) {
            return std::nullopt;
        }
        counters[i] = *value;
    }
    return FlowCounters{counters[0], counters[1], counters[2], counters[3], counters[4]};
}

void add(DirectionStatistics& pipe, const FlowCounters& flow) {
    const std::uint64_t meanBytes =
        flow.arrivedPackets > 0 ? flow.arrivedBytes / flow.arrivedPackets : 0;
    const std::uint64_t gone = std::min(flow.arrivedPackets, flow.queuedPackets + flow.dropped);
    const std::uint64_t goneBytes =
        std::min(flow.arrivedBytes, flow.queuedBytes + flow.dropped * meanBytes);
    pipe.packets += flow.arrivedPackets - gone;
    pipe.bytes += flow.arrivedBytes - goneBytes;
    pipe.dropped += flow.dropped;
    pipe.queuedPackets += flow.queuedPackets;
    pipe.queuedBytes += flow.queuedBytes;
}

// Each throttle's pipes: inbound (the download) 2 * slot - 1, outbound 2 *
// slot. Those of other numbers are not ours.
std::optional<DirectionStatistics>* pipeOf(ShapingStatistics& statistics, std::uint64_t number) {
    if (number < 1 || number > 2 * std::uint64_t(ScopedPlan::kLastSlot)) {
        return nullptr;
    }
    const int slot = int((number + 1) / 2);
    auto at = std::find_if(statistics.bySlot.begin(), statistics.bySlot.end(),
                           [&](const ShapingStatistics::Slot& each) { return each.slot >= slot; });
    if (at == statistics.bySlot.end() || at->slot != slot) {
        at = statistics.bySlot.insert(at, {slot});
    }
    return number % 2 == 1 ? &at->download : &at->upload;
}

} // namespace

DummynetStatistics::DummynetStatistics(const CommandExecutor& executor, std::string dnctl)
    : m_executor(executor)
    , m_dnctl(std::move(dnctl)) {}

ShapingStatistics DummynetStatistics::read() const {
    const CommandResult result =
        m_executor.execute(m_dnctl, {"pipe", "show"}, CommandExecutor::Logging::failuresOnly);
    if (result.exitCode != 0) {
        throw HelperError::commandFailed("Failed to read the shaping's statistics: " +
                                         result.combinedOutput());
    }
    return parse(result.output);
}

ShapingStatistics DummynetStatistics::parse(std::string_view listing) {
    ShapingStatistics statistics;
    std::optional<DirectionStatistics>* pipe = nullptr;
    std::istringstream lines{std::string(listing)};
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> words = ToolListing::words(line);
        if (words.empty()) {
            continue;
        }
        // A pipe's own line: "00001:   1.000 Mbit/s    0 ms   50 sl. ..."
        if (words[0].size() > 1 && words[0].ends_with(':') &&
            ToolListing::wholeNumber(std::string_view(words[0]).substr(0, words[0].size() - 1))) {
            const auto number = *ToolListing::wholeNumber(
                std::string_view(words[0]).substr(0, words[0].size() - 1));
            pipe = pipeOf(statistics, number);
            if (pipe) {
                pipe->emplace();
            }
            continue;
        }
        if (pipe) {
            if (const auto flow = flowOf(words)) {
                add(**pipe, *flow);
            }
        }
    }
    return statistics;
}
