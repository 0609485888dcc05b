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

// The throttles whose packets are told by their processes' cgroups.
std::vector<const ScopedPlan*> commandsOf(const ShapingLayout& layout) {
    std::vector<const ScopedPlan*> commands;
    for (const ScopedPlan& throttle : layout.throttles) {
        const ThrottleScope::Kind kind = throttle.scope.kind();
        if (kind == ThrottleScope::Kind::command || kind == ThrottleScope::Kind::application) {
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
    // The chain of the same throttle in the same slot, if there was one.
    const auto earlier = [](const std::vector<const ScopedPlan*>& commands,
                            const ScopedPlan* command) -> const ScopedPlan* {
        for (const ScopedPlan* each : commands) {
            if (each->slot == command->slot && each->id == command->id) {
                return each;
            }
        }
        return nullptr;
    };
    const std::string failure =
        "Failed to mark the packets of a throttled command or application: ";
    std::vector<TrafficControlStep> steps;
    const auto nft = [&](std::vector<std::string> arguments, std::string why = {},
                         const char* feature = nullptr) {
        steps.push_back({TrafficControlStep::Tool::nft, std::move(arguments),
                         why.empty() ? failure : std::move(why), feature});
    };
    for (const ScopedPlan* command : was) {
        if (earlier(will, command) == nullptr) {
            // A chain is deleted once it is empty.
            nft(chainOf({"flush", "chain"}, command->slot));
            nft(chainOf({"delete", "chain"}, command->slot));
        }
    }
    if (was.empty() && !will.empty()) {
        steps.push_back({TrafficControlStep::Tool::nft, joined({"add", "table"}, kMarkTable),
                         failure, kFeatures, tableEntry()});
    }
    // A chain of its own per throttle, so that one throttle's marking comes
    // and goes without a moment where another's packets go unmarked; an
    // application's scopes change as its rules are flushed and made again
    // in the same transaction. At mangle's priority the mark is set before
    // the packet is routed.
    for (const ScopedPlan* command : will) {
        const ScopedPlan* before = earlier(was, command);
        if (before != nullptr && before->scope.cgroups == command->scope.cgroups) {
            continue;
        }
        if (before != nullptr) {
            nft(chainOf({"flush", "chain"}, command->slot));
        } else {
            nft(joined(chainOf({"add", "chain"}, command->slot),
                       {"{", "type", "filter", "hook", "output", "priority", "mangle", ";",
                        "policy", "accept", ";", "}"}));
        }
        for (const std::string& cgroup : command->scope.cgroups) {
            nft(joined(chainOf({"add", "rule"}, command->slot),
                       {"socket", "cgroupv2", "level", levelOf(cgroup), "\"" + cgroup + "\"",
                        "meta", "mark", "set", TrafficControlFilters::markOf(*command), "ct",
                        "mark", "set", "meta", "mark"}),
                {}, kFeatures);
        }
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
