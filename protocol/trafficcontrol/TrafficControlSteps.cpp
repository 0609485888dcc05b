// SPDX-License-Identifier: MIT
#include "TrafficControlSteps.h"

#include "TrafficControlFilters.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <tuple>

namespace {

// Hex "VT". The kernel refuses to delete a root qdisc whose handle differs
// from the one named, so clean-up can never remove someone else's.
constexpr const char* kRootHandle = "5654:";
constexpr const char* kIngressParent = "ffff:";

// Each throttle's class, and the token bucket and netem under it: the same
// handles on the uplink and on its IFB device. The whole machine's (slot 1)
// are 5654:1, 5655: and 5656:, those of every shaping before throttles
// could be scoped.
std::string classOf(int slot) {
    return std::string(kRootHandle) + std::to_string(slot);
}
std::string handleOf(int number) {
    char text[8];
    std::snprintf(text, sizeof text, "%x:", number);
    return text;
}
std::string segmenterHandle(int slot) {
    return handleOf(0x5655 + 2 * (slot - 1));
}
std::string netemHandle(int slot) {
    return handleOf(0x5656 + 2 * (slot - 1));
}
std::string netemParent(int slot) {
    return segmenterHandle(slot) + "1";
}

// What HTB needs to pass up to 10 Gbit/s without limiting it itself: its
// default burst is computed as 0 at such rates, which would pace every packet.
const std::vector<std::string> kPassThroughClass = {"rate",   "100gbit", "burst",   "4mb",
                                                    "cburst", "4mb",     "quantum", "65536"};

// A token bucket far faster than any rate the engine takes, whose bucket
// holds one frame of the uplink: it delays nothing, but the kernel cuts every
// offloaded packet larger than the bucket into frames before netem queues
// it. Without it netem's limit counts packets of up to 64 KB, and a queue
// meant to hold 50 frames (60 ms at 10 Mbit/s) holds seconds. The bucket
// takes the largest frame of the uplink whatever its link-layer header, since
// the kernel drops what is larger and cannot be cut. The queue named here
// only serves until netem replaces it, a moment later.
std::vector<std::string> segmenterArguments(const std::string& frameBytes) {
    return {"tbf",
            "rate",
            "100gbit",
            "burst",
            frameBytes,
            "limit",
            std::to_string(NetemQueue::kRateQueueFrames * NetemQueue::kFrameBytes)};
}

std::vector<std::string> concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The options of a netem leaf that replace `before`'s with `after`'s. A
// change keeps what the kernel holds apart from netem's fixed options when
// it is not named again: a rate, and a reordering share. Named at zero, they
// go, so the leaf ends as an add of `after` would make it.
std::vector<std::string> netemChangeArguments(const DirectionShaping& before,
                                              const DirectionShaping& after) {
    std::vector<std::string> arguments = netemArguments(after);
    const auto names = [](const std::vector<std::string>& words, const char* option) {
        return std::find(words.begin(), words.end(), option) != words.end();
    };
    const std::vector<std::string> previous = netemArguments(before);
    if (names(previous, "rate") && !names(arguments, "rate")) {
        arguments.insert(arguments.end(), {"rate", "0bit"});
    }
    if (names(previous, "reorder") && !names(arguments, "reorder")) {
        arguments.insert(arguments.end(), {"reorder", "0%"});
    }
    return arguments;
}

// Entries of the change record, and how each is undone.
TrafficControlStep::Entry rootEntry(const std::string& interface) {
    return {"qdisc", interface, "root"};
}
TrafficControlStep::Entry ingressEntry(const std::string& interface) {
    return {"qdisc", interface, "ingress"};
}
TrafficControlStep::Entry deviceEntry(const std::string& device) {
    return {"device", device};
}

// The steps of one uplink and its IFB device, each failure named after the
// uplink.
class UplinkSteps final {
public:
    UplinkSteps(const std::string& interface, const std::string& ifb, std::string frameBytes)
        : m_interface(interface)
        , m_ifb(ifb)
        , m_frameBytes(std::move(frameBytes))
        , m_on(" on " + interface + ": ") {}

    std::vector<TrafficControlStep> steps;

    void uplinkRoot() {
        tc({"qdisc", "add", "dev", m_interface, "root", "handle", kRootHandle, "htb", "default",
            "0"},
           uploadSetup(), "HTB (module sch_htb)", rootEntry(m_interface));
    }
    void device() {
        const std::string failure =
            "Failed to create the download device for " + m_interface + ": ";
        steps.push_back({TrafficControlStep::Tool::ip,
                         {"link", "add", m_ifb, "type", "ifb"},
                         failure,
                         "IFB (module ifb)",
                         deviceEntry(m_ifb)});
        steps.push_back(
            {TrafficControlStep::Tool::ip, {"link", "set", "dev", m_ifb, "up"}, failure});
    }
    // Unclassified download never reaches the IFB device: only what the
    // ingress filters mark with a class is redirected to it.
    void downloadRoot() {
        tc({"qdisc", "add", "dev", m_ifb, "root", "handle", kRootHandle, "htb", "default", "0"},
           downloadSetup());
    }
    void ingress() {
        tc({"qdisc", "add", "dev", m_interface, "handle", kIngressParent, "ingress"},
           downloadRedirect(), "ingress (module sch_ingress)", ingressEntry(m_interface));
    }
    void uploadClass(int slot) {
        tc(concat({"class", "add", "dev", m_interface, "parent", kRootHandle, "classid",
                   classOf(slot), "htb"},
                  kPassThroughClass),
           uploadSetup());
    }
    void downloadClass(int slot) {
        tc(concat({"class", "add", "dev", m_ifb, "parent", kRootHandle, "classid", classOf(slot),
                   "htb"},
                  kPassThroughClass),
           downloadSetup());
    }
    void uploadFilters(const ScopedPlan& throttle) {
        for (const auto& filter :
             TrafficControlFilters::of(throttle, TrafficControlFilters::Direction::outbound)) {
            tc(concat(filterHead(m_interface, kRootHandle, filter),
                      concat(filter.match, {"flowid", classOf(throttle.slot)})),
               uploadSetup());
        }
    }
    // The IFB device's HTB takes a packet's priority for the class it names.
    void downloadFilters(const ScopedPlan& throttle) {
        for (const auto& filter :
             TrafficControlFilters::of(throttle, TrafficControlFilters::Direction::inbound)) {
            if (!filter.classifies) {
                tc(concat(filterHead(m_interface, kIngressParent, filter), filter.match),
                   downloadRedirect(), "connection marks (module act_connmark)");
                continue;
            }
            tc(concat(filterHead(m_interface, kIngressParent, filter),
                      concat(filter.match,
                             {"action", "skbedit", "priority", classOf(throttle.slot), "pipe",
                              "action", "mirred", "egress", "redirect", "dev", m_ifb})),
               downloadRedirect(),
               "the redirecting actions (modules act_skbedit and act_mirred) or the u32 "
               "classifier (module cls_u32)");
        }
    }
    // The upload side never drops packets: loss is simulated on arrival only.
    void leaves(const ScopedPlan& throttle) {
        const int slot = throttle.slot;
        for (const auto& [device, shaping, failure] :
             {std::tuple{&m_interface, &throttle.plan.upload, uploadNetem()},
              std::tuple{&m_ifb, &throttle.plan.download, downloadNetem()}}) {
            tc(concat({"qdisc", "add", "dev", *device, "parent", classOf(slot), "handle",
                       segmenterHandle(slot)},
                      segmenterArguments(m_frameBytes)),
               failure, "the token bucket filter (module sch_tbf)");
            tc(concat({"qdisc", "add", "dev", *device, "parent", netemParent(slot), "handle",
                       netemHandle(slot)},
                      netemArguments(*shaping)),
               failure, "netem (module sch_netem)");
        }
    }
    void changedLeaves(const ScopedPlan& before, const ScopedPlan& after) {
        const int slot = after.slot;
        if (netemArguments(before.plan.upload) != netemArguments(after.plan.upload)) {
            tc(concat({"qdisc", "change", "dev", m_interface, "parent", netemParent(slot), "handle",
                       netemHandle(slot)},
                      netemChangeArguments(before.plan.upload, after.plan.upload)),
               uploadNetem());
        }
        if (netemArguments(before.plan.download) != netemArguments(after.plan.download)) {
            tc(concat({"qdisc", "change", "dev", m_ifb, "parent", netemParent(slot), "handle",
                       netemHandle(slot)},
                      netemChangeArguments(before.plan.download, after.plan.download)),
               downloadNetem());
        }
    }
    // Its filters first, so that no packet is sent to a class that is gone;
    // its classes then take their leaves with them.
    void removal(const ScopedPlan& throttle) {
        for (const char* parent : {kRootHandle, kIngressParent}) {
            for (const auto& filter : TrafficControlFilters::preferences(
                     throttle, parent == kRootHandle ? TrafficControlFilters::Direction::outbound
                                                     : TrafficControlFilters::Direction::inbound)) {
                tc({"filter", "del", "dev", m_interface, "parent", parent, "protocol",
                    filter.protocol, "pref", std::to_string(filter.preference)},
                   parent == kRootHandle ? uploadSetup() : downloadRedirect());
            }
        }
        tc({"class", "del", "dev", m_interface, "classid", classOf(throttle.slot)}, uploadSetup());
        tc({"class", "del", "dev", m_ifb, "classid", classOf(throttle.slot)}, downloadSetup());
    }

private:
    void tc(std::vector<std::string> arguments, std::string failure,
            const char* kernelFeature = nullptr,
            std::optional<TrafficControlStep::Entry> entry = std::nullopt) {
        steps.push_back({TrafficControlStep::Tool::tc, std::move(arguments), std::move(failure),
                         kernelFeature, std::move(entry)});
    }
    static std::vector<std::string> filterHead(const std::string& device, const char* parent,
                                               const TrafficControlFilters::Filter& filter) {
        return {"filter", "add",      "dev",           device, "parent",
                parent,   "protocol", filter.protocol, "pref", std::to_string(filter.preference)};
    }
    std::string uploadSetup() const { return "Failed to set up upload shaping" + m_on; }
    std::string downloadSetup() const { return "Failed to set up download shaping" + m_on; }
    std::string downloadRedirect() const { return "Failed to redirect download traffic" + m_on; }
    std::string uploadNetem() const { return "Failed to configure upload shaping" + m_on; }
    std::string downloadNetem() const { return "Failed to configure download shaping" + m_on; }

    const std::string& m_interface;
    const std::string& m_ifb;
    const std::string m_frameBytes;
    const std::string m_on;
};

const ScopedPlan* inSlot(const ShapingLayout& layout, int slot) {
    for (const ScopedPlan& throttle : layout.throttles) {
        if (throttle.slot == slot) {
            return &throttle;
        }
    }
    return nullptr;
}

} // namespace

namespace TrafficControlSteps {

std::vector<TrafficControlStep> shaping(const std::string& interface, const std::string& ifb,
                                        const std::string& frameBytes,
                                        const ShapingLayout& layout) {
    // The paths first, the netem leaves last: were netem missing or failing,
    // what is there meanwhile passes traffic untouched instead of
    // half-shaping it.
    UplinkSteps make(interface, ifb, frameBytes);
    make.uplinkRoot();
    for (const ScopedPlan& throttle : layout.throttles) {
        make.uploadClass(throttle.slot);
    }
    for (const ScopedPlan& throttle : layout.throttles) {
        make.uploadFilters(throttle);
    }
    make.device();
    make.downloadRoot();
    for (const ScopedPlan& throttle : layout.throttles) {
        make.downloadClass(throttle.slot);
    }
    make.ingress();
    for (const ScopedPlan& throttle : layout.throttles) {
        make.downloadFilters(throttle);
    }
    for (const ScopedPlan& throttle : layout.throttles) {
        make.leaves(throttle);
    }
    return std::move(make.steps);
}

std::vector<TrafficControlStep> change(const std::string& interface, const std::string& ifb,
                                       const std::string& frameBytes, const ShapingLayout& before,
                                       const ShapingLayout& after) {
    // A slot whose traffic differs holds another throttle now: the old one
    // goes before the new one takes the slot's class. The names shown for
    // its destinations classify nothing; another command's throttle marks
    // its packets otherwise even in the same cgroup.
    const auto same = [](const ScopedPlan* a, const ScopedPlan* b) {
        if (a == nullptr || b == nullptr || a->scope.destinations != b->scope.destinations ||
            a->scope.kind() != b->scope.kind()) {
            return false;
        }
        switch (a->scope.kind()) {
        case ThrottleScope::Kind::command:
            return a->id == b->id && a->scope.cgroups == b->scope.cgroups;
        case ThrottleScope::Kind::application:
            // Its scopes come and go in its marking alone.
            return a->id == b->id;
        case ThrottleScope::Kind::machine:
        case ThrottleScope::Kind::destinations:
            break;
        }
        return true;
    };
    UplinkSteps make(interface, ifb, frameBytes);
    for (const ScopedPlan& throttle : before.throttles) {
        if (!same(&throttle, inSlot(after, throttle.slot))) {
            make.removal(throttle);
        }
    }
    for (const ScopedPlan& throttle : after.throttles) {
        if (const ScopedPlan* was = inSlot(before, throttle.slot); same(was, &throttle)) {
            make.changedLeaves(*was, throttle);
        }
    }
    for (const ScopedPlan& throttle : after.throttles) {
        if (!same(inSlot(before, throttle.slot), &throttle)) {
            make.uploadClass(throttle.slot);
            make.downloadClass(throttle.slot);
            make.leaves(throttle);
            make.uploadFilters(throttle);
            make.downloadFilters(throttle);
        }
    }
    return std::move(make.steps);
}

std::optional<TrafficControlStep> undo(const TrafficControlStep::Entry& words) {
    if (auto step = undoMarking(words)) {
        return step;
    }
    if (words.size() == 3 && words[0] == "qdisc" && words[2] == "root") {
        return TrafficControlStep{TrafficControlStep::Tool::tc,
                                  {"qdisc", "del", "dev", words[1], "root", "handle", kRootHandle}};
    }
    if (words.size() == 3 && words[0] == "qdisc" && words[2] == "ingress") {
        // Named by kind as well: the kernel then refuses to delete a
        // clsact qdisc that took the handle meanwhile.
        return TrafficControlStep{
            TrafficControlStep::Tool::tc,
            {"qdisc", "del", "dev", words[1], "handle", kIngressParent, "ingress"}};
    }
    if (words.size() == 2 && words[0] == "device") {
        return TrafficControlStep{TrafficControlStep::Tool::ip,
                                  {"link", "delete", "dev", words[1]}};
    }
    return std::nullopt;
}

bool concerns(const TrafficControlStep::Entry& entry, const std::string& interface,
              const std::string& ifb) {
    return entry == rootEntry(interface) || entry == ingressEntry(interface) ||
           entry == deviceEntry(ifb);
}

std::optional<int> slotOfNetem(const std::string& handle) {
    for (int slot = ScopedPlan::kMachineSlot; slot <= ScopedPlan::kLastSlot; ++slot) {
        if (handle == netemHandle(slot)) {
            return slot;
        }
    }
    return std::nullopt;
}

} // namespace TrafficControlSteps
