// SPDX-License-Identifier: MIT
#include "TrafficControlSteps.h"

#include <algorithm>

namespace {

// Hex "VT". The kernel refuses to delete a root qdisc whose handle differs
// from the one named, so clean-up can never remove someone else's.
constexpr const char* kRootHandle = "5654:";
constexpr const char* kShapedClass = "5654:1";
constexpr const char* kUploadSegmenterHandle = "5655:";
constexpr const char* kUploadSegmenterClass = "5655:1";
constexpr const char* kUploadNetemHandle = "5656:";
constexpr const char* kDownloadSegmenterClass = "5654:1";
constexpr const char* kDownloadNetemHandle = "5655:";
constexpr const char* kIngressParent = "ffff:";

// Filter priorities of our own. IPv4 and IPv6 need one each: the kernel keeps
// one protocol per priority.
struct AddressFamily {
    const char* protocol;
    const char* preference;
    const char* u32Match;
};
constexpr AddressFamily kFamilies[] = {{"ip", "22100", "ip"}, {"ipv6", "22101", "ip6"}};
constexpr const char* kTransportProtocols[] = {"6", "17"}; // TCP, UDP

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

// A u32 filter on `parent` that picks one transport protocol of one family.
std::vector<std::string> filterArguments(const std::string& interface, const char* parent,
                                         const AddressFamily& family, const char* transport,
                                         const std::vector<std::string>& target) {
    return concat({"filter", "add", "dev", interface, "parent", parent, "protocol", family.protocol,
                   "pref", family.preference, "u32", "match", family.u32Match, "protocol",
                   transport, "0xff"},
                  target);
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

} // namespace

namespace TrafficControlSteps {

std::vector<TrafficControlStep> shaping(const std::string& interface, const std::string& ifb,
                                        const std::string& frameBytes, const ShapingPlan& plan) {
    const std::string on = " on " + interface + ": ";
    const std::string uploadSetup = "Failed to set up upload shaping" + on;
    const std::string downloadDevice =
        "Failed to create the download device for " + interface + ": ";
    const std::string downloadRedirect = "Failed to redirect download traffic" + on;
    const std::string uploadNetem = "Failed to configure upload shaping" + on;
    const std::string downloadNetem = "Failed to configure download shaping" + on;
    const char* tbf = "the token bucket filter (module sch_tbf)";
    const char* netem = "netem (module sch_netem)";

    // The paths first, the netem leaves last: were netem missing or failing,
    // what is there meanwhile passes traffic untouched instead of half-shaping it.
    std::vector<TrafficControlStep> steps;
    steps.push_back(
        {TrafficControlStep::Tool::tc,
         {"qdisc", "add", "dev", interface, "root", "handle", kRootHandle, "htb", "default", "0"},
         uploadSetup,
         "HTB (module sch_htb)",
         rootEntry(interface)});
    steps.push_back({TrafficControlStep::Tool::tc,
                     concat({"class", "add", "dev", interface, "parent", kRootHandle, "classid",
                             kShapedClass, "htb"},
                            kPassThroughClass),
                     uploadSetup});
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            steps.push_back({TrafficControlStep::Tool::tc,
                             filterArguments(interface, kRootHandle, family, transport,
                                             {"flowid", kShapedClass}),
                             uploadSetup});
        }
    }

    steps.push_back({TrafficControlStep::Tool::ip,
                     {"link", "add", ifb, "type", "ifb"},
                     downloadDevice,
                     "IFB (module ifb)",
                     deviceEntry(ifb)});
    steps.push_back(
        {TrafficControlStep::Tool::ip, {"link", "set", "dev", ifb, "up"}, downloadDevice});
    steps.push_back({TrafficControlStep::Tool::tc,
                     {"qdisc", "add", "dev", interface, "handle", kIngressParent, "ingress"},
                     downloadRedirect,
                     "ingress (module sch_ingress)",
                     ingressEntry(interface)});
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            steps.push_back(
                {TrafficControlStep::Tool::tc,
                 filterArguments(interface, kIngressParent, family, transport,
                                 {"action", "mirred", "egress", "redirect", "dev", ifb}),
                 downloadRedirect});
        }
    }

    steps.push_back({TrafficControlStep::Tool::tc,
                     concat({"qdisc", "add", "dev", interface, "parent", kShapedClass, "handle",
                             kUploadSegmenterHandle},
                            segmenterArguments(frameBytes)),
                     uploadNetem, tbf});
    // The upload side never drops packets: loss is simulated on arrival only.
    steps.push_back({TrafficControlStep::Tool::tc,
                     concat({"qdisc", "add", "dev", interface, "parent", kUploadSegmenterClass,
                             "handle", kUploadNetemHandle},
                            netemArguments(plan.upload)),
                     uploadNetem, netem});
    steps.push_back({TrafficControlStep::Tool::tc,
                     concat({"qdisc", "add", "dev", ifb, "root", "handle", kRootHandle},
                            segmenterArguments(frameBytes)),
                     downloadNetem, tbf});
    steps.push_back({TrafficControlStep::Tool::tc,
                     concat({"qdisc", "add", "dev", ifb, "parent", kDownloadSegmenterClass,
                             "handle", kDownloadNetemHandle},
                            netemArguments(plan.download)),
                     downloadNetem, netem});
    return steps;
}

std::vector<TrafficControlStep> change(const std::string& interface, const std::string& ifb,
                                       const ShapingPlan& before, const ShapingPlan& after) {
    std::vector<TrafficControlStep> steps;
    if (netemArguments(before.upload) != netemArguments(after.upload)) {
        steps.push_back({TrafficControlStep::Tool::tc,
                         concat({"qdisc", "change", "dev", interface, "parent",
                                 kUploadSegmenterClass, "handle", kUploadNetemHandle},
                                netemChangeArguments(before.upload, after.upload)),
                         "Failed to configure upload shaping on " + interface + ": "});
    }
    if (netemArguments(before.download) != netemArguments(after.download)) {
        steps.push_back({TrafficControlStep::Tool::tc,
                         concat({"qdisc", "change", "dev", ifb, "parent", kDownloadSegmenterClass,
                                 "handle", kDownloadNetemHandle},
                                netemChangeArguments(before.download, after.download)),
                         "Failed to configure download shaping on " + interface + ": "});
    }
    return steps;
}

std::optional<TrafficControlStep> undo(const TrafficControlStep::Entry& words) {
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

} // namespace TrafficControlSteps
