// SPDX-License-Identifier: MIT
#include "TrafficControlFilters.h"
#include "TrafficControlSteps.h"

#include <algorithm>

namespace {

std::vector<std::string> joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What the kernel needs for the marking, named when it lacks some: nft
// runs all of it in one transaction and says only that one is missing.
constexpr const char* kFeatures =
    "nftables for IP with sockets by cgroup and connection marks (modules nf_tables, "
    "nft_socket, nft_ct)";

// The table is named by family and name together.
const std::vector<std::string> kMarkTable = {"inet", "veltrane"};

TrafficControlStep::Entry tableEntry() {
    return {"nftables", kMarkTable[0], kMarkTable[1]};
}

std::vector<const ScopedPlan*> commandsOf(const ShapingLayout& layout) {
    std::vector<const ScopedPlan*> commands;
    for (const ScopedPlan& throttle : layout.throttles) {
        if (throttle.scope.kind() == ThrottleScope::Kind::command) {
            commands.push_back(&throttle);
        }
    }
    return commands;
}

// The chain of the command in `slot`, after `words`.
std::vector<std::string> chainOf(std::vector<std::string> words, int slot) {
    return joined(joined(std::move(words), kMarkTable), {"command" + std::to_string(slot)});
}

// How deep the cgroup lies below the root: nft matches the ancestor of a
// socket's cgroup at that level, so a command's every descendant matches.
std::string levelOf(const std::string& cgroup) {
    return std::to_string(1 + std::count(cgroup.begin(), cgroup.end(), '/'));
}

} // namespace

namespace TrafficControlSteps {

std::vector<TrafficControlStep> marking(const ShapingLayout& before, const ShapingLayout& after) {
    const std::vector<const ScopedPlan*> was = commandsOf(before);
    const std::vector<const ScopedPlan*> will = commandsOf(after);
    const auto in = [](const std::vector<const ScopedPlan*>& commands, const ScopedPlan* command) {
        return std::any_of(commands.begin(), commands.end(), [&](const ScopedPlan* each) {
            return each->slot == command->slot && each->scope.cgroup == command->scope.cgroup &&
                   each->id == command->id;
        });
    };
    const std::string failure = "Failed to mark the packets of a throttled command: ";
    std::vector<TrafficControlStep> steps;
    const auto nft = [&](std::vector<std::string> arguments, std::string why = {},
                         const char* feature = nullptr) {
        steps.push_back({TrafficControlStep::Tool::nft, std::move(arguments),
                         why.empty() ? failure : std::move(why), feature});
    };
    for (const ScopedPlan* command : was) {
        if (!in(will, command)) {
            // A chain is deleted once it is empty.
            nft(chainOf({"flush", "chain"}, command->slot));
            nft(chainOf({"delete", "chain"}, command->slot));
        }
    }
    if (was.empty() && !will.empty()) {
        steps.push_back({TrafficControlStep::Tool::nft, joined({"add", "table"}, kMarkTable),
                         failure, kFeatures, tableEntry()});
    }
    // A chain of its own per command, so that one command's marking comes
    // and goes without a moment where another's packets go unmarked. At
    // mangle's priority the mark is set before the packet is routed.
    for (const ScopedPlan* command : will) {
        if (in(was, command)) {
            continue;
        }
        nft(joined(chainOf({"add", "chain"}, command->slot),
                   {"{", "type", "filter", "hook", "output", "priority", "mangle", ";", "policy",
                    "accept", ";", "}"}));
        nft(joined(chainOf({"add", "rule"}, command->slot),
                   {"socket", "cgroupv2", "level", levelOf(command->scope.cgroup),
                    "\"" + command->scope.cgroup + "\"", "meta", "mark", "set",
                    TrafficControlFilters::markOf(*command), "ct", "mark", "set", "meta", "mark"}),
            {}, kFeatures);
    }
    return steps;
}

std::optional<TrafficControlStep> undoMarking(const TrafficControlStep::Entry& entry) {
    if (entry == tableEntry()) {
        return TrafficControlStep{TrafficControlStep::Tool::nft,
                                  joined({"delete", "table"}, kMarkTable)};
    }
    return std::nullopt;
}

} // namespace TrafficControlSteps
