// SPDX-License-Identifier: MIT
#include "TrafficControlStatistics.h"

#include "ChangeRecord.h"
#include "CommandExecutor.h"
#include "HelperError.h"
#include "ToolListing.h"
#include "TrafficControlSteps.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <system_error>

namespace {

// tc writes a backlog near a whole number of KiB or MiB in those units
// ("51Kb", "2Mb"), rounded by less than a KiB: close enough for a queue.
std::optional<std::uint64_t> sizeOf(std::string_view text) {
    constexpr std::pair<std::string_view, std::uint64_t> kUnits[] = {
        {"Gb", 1ull << 30}, {"Mb", 1ull << 20}, {"Kb", 1ull << 10}, {"b", 1}};
    for (const auto& [suffix, factor] : kUnits) {
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            const auto value =
                ToolListing::wholeNumber(text.substr(0, text.size() - suffix.size()));
            return value ? std::optional(*value * factor) : std::nullopt;
        }
    }
    return std::nullopt;
}

// " Sent 82318 bytes 79 pkt (dropped 171, overlimits 0 requeues 0)"
bool readSent(const std::vector<std::string>& words, DirectionStatistics& into) {
    if (words.size() < 7 || words[0] != "Sent" || words[2] != "bytes" || words[4] != "pkt" ||
        words[5] != "(dropped") {
        return false;
    }
    std::string dropped = words[6];
    if (dropped.ends_with(',')) {
        dropped.pop_back();
    }
    const auto bytes = ToolListing::wholeNumber(words[1]);
    const auto packets = ToolListing::wholeNumber(words[3]);
    const auto drops = ToolListing::wholeNumber(dropped);
    if (!bytes || !packets || !drops) {
        return false;
    }
    into.bytes = *bytes;
    into.packets = *packets;
    into.dropped = *drops;
    return true;
}

// " backlog 52100b 50p requeues 0"
void readBacklog(const std::vector<std::string>& words, DirectionStatistics& into) {
    if (words.size() < 3 || words[0] != "backlog" || !words[2].ends_with('p')) {
        return;
    }
    const auto bytes = sizeOf(words[1]);
    const auto packets =
        ToolListing::wholeNumber(std::string_view(words[2]).substr(0, words[2].size() - 1));
    if (bytes && packets) {
        into.queuedBytes = *bytes;
        into.queuedPackets = *packets;
    }
}

// Adds what `qdisc` counted to its throttle's figures of one direction.
void add(ShapingStatistics& statistics, const TrafficControlStatistics::Qdisc& qdisc,
         std::optional<DirectionStatistics> ShapingStatistics::Slot::*direction) {
    const std::optional<int> slot = TrafficControlSteps::slotOfNetem(qdisc.handle);
    if (!slot) {
        return;
    }
    auto at = std::find_if(statistics.bySlot.begin(), statistics.bySlot.end(),
                           [&](const ShapingStatistics::Slot& each) { return each.slot >= *slot; });
    if (at == statistics.bySlot.end() || at->slot != *slot) {
        at = statistics.bySlot.insert(at, {*slot});
    }
    std::optional<DirectionStatistics>& figures = (*at).*direction;
    if (!figures) {
        figures.emplace();
    }
    *figures += qdisc.statistics;
}

} // namespace

TrafficControlStatistics::TrafficControlStatistics(const CommandExecutor& executor, std::string tc,
                                                   std::string recordPath)
    : m_executor(executor)
    , m_tc(std::move(tc))
    , m_recordPath(std::move(recordPath)) {}

ShapingStatistics TrafficControlStatistics::read() const {
    // The record, not a device's name, says what is ours. It lists each
    // shaped uplink by its root qdisc and each download device by itself,
    // as TrafficControlSteps records them.
    std::vector<std::string> uploadDevices;
    std::vector<std::string> downloadDevices;
    try {
        for (const auto& entry : ChangeRecord(m_recordPath).entries()) {
            if (entry.size() == 3 && entry[0] == "qdisc" && entry[2] == "root") {
                uploadDevices.push_back(entry[1]);
            } else if (entry.size() == 2 && entry[0] == "device") {
                downloadDevices.push_back(entry[1]);
            }
        }
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to read the change record: ") +
                                     error.what());
    }
    if (uploadDevices.empty() && downloadDevices.empty()) {
        return {};
    }
    // One run for every device, however many uplinks there are.
    const CommandResult result =
        m_executor.execute(m_tc, {"-s", "qdisc", "show"}, CommandExecutor::Logging::failuresOnly);
    if (result.exitCode != 0) {
        throw HelperError::commandFailed("Failed to read the shaping's statistics: " +
                                         result.combinedOutput());
    }
    return sum(parse(result.output), uploadDevices, downloadDevices);
}

std::vector<TrafficControlStatistics::Qdisc>
TrafficControlStatistics::parse(std::string_view listing) {
    std::vector<Qdisc> qdiscs;
    std::istringstream lines{std::string(listing)};
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> words = ToolListing::words(line);
        if (words.empty()) {
            continue;
        }
        // "qdisc netem 5656: dev eth0 parent 5655:1 limit 59 ..."
        if (words[0] == "qdisc" && !line.starts_with(' ')) {
            Qdisc qdisc;
            qdisc.kind = words.size() > 1 ? words[1] : std::string();
            qdisc.handle = words.size() > 2 ? words[2] : std::string();
            const auto dev = std::find(words.begin(), words.end(), "dev");
            if (dev != words.end() && dev + 1 != words.end()) {
                qdisc.device = *(dev + 1);
            }
            qdiscs.push_back(std::move(qdisc));
            continue;
        }
        if (qdiscs.empty()) {
            continue;
        }
        Qdisc& current = qdiscs.back();
        if (words[0] == "Sent") {
            current.counted = readSent(words, current.statistics) || current.counted;
        } else if (words[0] == "backlog") {
            readBacklog(words, current.statistics);
        }
    }
    return qdiscs;
}

ShapingStatistics TrafficControlStatistics::sum(const std::vector<Qdisc>& qdiscs,
                                                const std::vector<std::string>& uploadDevices,
                                                const std::vector<std::string>& downloadDevices) {
    const auto listed = [](const std::vector<std::string>& devices, const std::string& device) {
        return std::find(devices.begin(), devices.end(), device) != devices.end();
    };
    ShapingStatistics statistics;
    for (const Qdisc& qdisc : qdiscs) {
        if (qdisc.kind != "netem" || !qdisc.counted) {
            continue;
        }
        if (listed(uploadDevices, qdisc.device)) {
            add(statistics, qdisc, &ShapingStatistics::Slot::upload);
        } else if (listed(downloadDevices, qdisc.device)) {
            add(statistics, qdisc, &ShapingStatistics::Slot::download);
        }
    }
    return statistics;
}
