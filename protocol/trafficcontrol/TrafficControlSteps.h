// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"

#include <optional>
#include <string>
#include <vector>

// One run of tc, ip or nft: what shaping an interface takes, in order, and what
// undoes a recorded change. The helper runs them; the exported script
// writes them down, so the two cannot drift apart.
struct TrafficControlStep {
    // A change as the helper records it: a few words without white space,
    // such as "qdisc eth0 root".
    using Entry = std::vector<std::string>;

    enum class Tool { tc, ip, nft };
    Tool tool = Tool::tc;
    std::vector<std::string> arguments;
    // What the run's failure is reported as.
    std::string failure = {};
    // The kernel feature the run adds, named when the kernel lacks it.
    const char* kernelFeature = nullptr;
    // What the run makes that must be undone; nothing for what goes with
    // something made before (a class, a filter).
    std::optional<Entry> entry = std::nullopt;
};

// Outbound: an HTB root whose filters send each throttle's TCP and UDP to a
// class of its own (5654:slot) with a netem leaf, everything else straight
// through. Inbound: an ingress qdisc whose filters mark each throttle's
// packets with its class and redirect them to an IFB device, whose HTB root
// has the same classes. In both directions a pass-through token bucket in
// front of each netem cuts offloaded packets (GSO, GRO: up to 64 KB) into
// frames, so netem's packet-counted queue holds frames, as a real link's does.
namespace TrafficControlSteps {

// `ifb` is the device that carries the download, `frameBytes` the largest
// frame of the interface (its MTU and a link-layer header).
std::vector<TrafficControlStep> shaping(const std::string& interface, const std::string& ifb,
                                        const std::string& frameBytes, const ShapingLayout& layout);

// What turns the shaping `before` in force on `interface` into `after`
// without taking it away: a throttle that ended loses its filters first and
// then its class; one that began gets its class and leaves before its
// filters; one whose conditions changed has its netem leaves changed. What
// another throttle queues stays where it is. Nothing when nothing differs.
std::vector<TrafficControlStep> change(const std::string& interface, const std::string& ifb,
                                       const std::string& frameBytes, const ShapingLayout& before,
                                       const ShapingLayout& after);

// What marks the packets of each command's processes, for the whole
// machine at once, when `before` is in force and `after` is to be: an
// nftables table with an output chain per command that marks what sockets
// in its cgroup send with its throttle's mark and keeps that mark in the
// connection, so that what comes back can be classified too. The table is
// made when the first command is throttled and stays until the shaping is
// removed; chains come and go with their commands. Nothing when the
// commands' scopes stay as they are.
std::vector<TrafficControlStep> marking(const ShapingLayout& before, const ShapingLayout& after);

// What undoes the marking's recorded table; nothing for another entry.
std::optional<TrafficControlStep> undoMarking(const TrafficControlStep::Entry& entry);

// What undoes a recorded change; nothing for an entry it does not know.
std::optional<TrafficControlStep> undo(const TrafficControlStep::Entry& entry);

// The slot of the throttle whose netem has `handle` ("5656:"), where a
// shaping of these steps has one; nothing for any other handle.
std::optional<int> slotOfNetem(const std::string& handle);

// The entries a shaping of `interface` with download device `ifb` records.
bool concerns(const TrafficControlStep::Entry& entry, const std::string& interface,
              const std::string& ifb);

} // namespace TrafficControlSteps
