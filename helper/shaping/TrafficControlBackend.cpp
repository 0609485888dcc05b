// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "CommandExecutor.h"
#include "DecimalFormat.h"
#include "HelperError.h"
#include "InterfaceName.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <system_error>

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

// netem's limit counts packets: those its delay holds in flight and those
// its rate keeps waiting. It is sized in full Ethernet frames, what bulk
// traffic fills a queue with once the token bucket in front has cut
// offloaded packets:
// - the delay: what the rate carries during the delay (with no rate set,
//   the fastest rate the engine takes);
// - the rate: 50 frames more, the default queue of dummynet, so a bulk
//   transfer waits no longer behind the rate than it would there: 2.5 s on
//   "Edge" (240 kbit/s), where netem's default of 1000 packets gave 50 s;
// - at most 16 MiB of frames per queue, whatever is asked: no request may
//   make the kernel queue without bound. At 10 Gbit/s that still carries
//   13 ms of delay without loss, at 100 Mbit/s 1.3 s.
constexpr std::int64_t kFrameBytes = 1514;
constexpr std::int64_t kRateQueueFrames = 50;
constexpr std::int64_t kMaxQueueFrames = (16 << 20) / kFrameBytes;

std::int64_t netemLimit(const DirectionShaping& shaping) {
    const std::int64_t bytesPerSecond = shaping.bandwidthBytesPerSecond > 0
                                            ? shaping.bandwidthBytesPerSecond
                                            : kMaxBandwidthBytesPerSecond;
    // At most 1.25e9 * 10000 = 1.25e13: no overflow.
    // The longest a packet is held: the latency plus all of its jitter.
    const std::int64_t bytesInFlight =
        bytesPerSecond * std::max<std::int64_t>(shaping.latencyMs + shaping.jitterMs, 0) / 1000;
    const std::int64_t framesInFlight = (bytesInFlight + kFrameBytes - 1) / kFrameBytes;
    return std::min(framesInFlight + kRateQueueFrames, kMaxQueueFrames);
}

// A token bucket far faster than any rate the engine takes, whose bucket
// holds one frame of the uplink: it delays nothing, but the kernel cuts every
// offloaded packet larger than the bucket into frames before netem queues
// it. Without it netem's limit counts packets of up to 64 KB, and a queue
// meant to hold 50 frames (60 ms at 10 Mbit/s) holds seconds. The bucket
// takes the largest frame of the uplink whatever its link-layer header, since
// the kernel drops what is larger and cannot be cut. The queue named here
// only serves until netem replaces it, a moment later.
unsigned frameBytes(const Uplink& uplink) {
    constexpr unsigned kDefaultMtu = 1500;
    constexpr unsigned kLinkHeaderBytes = 64;
    return (uplink.mtu > 0 ? uplink.mtu : kDefaultMtu) + kLinkHeaderBytes;
}

std::vector<std::string> segmenterArguments(const std::string& frameBytes) {
    return {"tbf",
            "rate",
            "100gbit",
            "burst",
            frameBytes,
            "limit",
            std::to_string(kRateQueueFrames * kFrameBytes)};
}

std::vector<std::string> concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// How tc and ip report a qdisc kind or link type the kernel does not know.
bool reportsMissingKernelFeature(const std::string& output) {
    return output.find("qdisc kind is unknown") != std::string::npos ||
           output.find("Unknown device type") != std::string::npos;
}

// How tc and ip report that what a clean-up step removes is not there (any
// more): a device gone, a qdisc of ours gone or replaced by another's. Such
// a step has nothing left to do.
bool reportsAlreadyGone(const std::string& output) {
    for (const char* gone : {"Cannot find device", "No such file or directory", "Invalid handle",
                             "Cannot delete qdisc with handle of zero",
                             "Cannot find specified qdisc", "must match existing qdisc"}) {
        if (output.find(gone) != std::string::npos) {
            return true;
        }
    }
    return false;
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

// Entries of the change record, and how each is undone.
ChangeRecord::Entry rootEntry(const std::string& interface) {
    return {"qdisc", interface, "root"};
}
ChangeRecord::Entry ingressEntry(const std::string& interface) {
    return {"qdisc", interface, "ingress"};
}
ChangeRecord::Entry deviceEntry(const std::string& device) {
    return {"device", device};
}

bool concerns(const ChangeRecord::Entry& entry, const std::string& interface) {
    return (entry.size() == 3 && entry[0] == "qdisc" && entry[1] == interface) ||
           (entry.size() == 2 && entry[0] == "device" && entry[1] == ifbDeviceName(interface));
}

} // namespace

TrafficControlBackend::TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                                             const EnginePaths& paths,
                                             std::unique_ptr<UplinkSource> uplinks)
    : m_logger(logger)
    , m_executor(executor)
    , m_record(paths.changeRecord)
    , m_uplinks(std::move(uplinks))
    , m_tc(paths.tc)
    , m_ip(paths.ip) {}

std::vector<std::string> TrafficControlBackend::netemArguments(const DirectionShaping& shaping) {
    std::vector<std::string> arguments = {"netem", "limit", std::to_string(netemLimit(shaping))};
    const auto percent = [](double value) { return formatShortestDecimal(value) + "%"; };
    // netem sends every packet when its own delay is up, so with jitter a
    // later packet would overtake an earlier one. Given a rate, it schedules
    // each packet no earlier than the one queued before it: order is kept,
    // and a packet that drew a short delay behind a long one waits for it, as
    // on a real path. (A pfifo child no longer keeps order: netem sorts by due
    // time itself and hands on only what is due.) Jitter without a bandwidth
    // therefore gets the engine's largest rate, which holds back nothing but
    // overtaking. Asked-for reordering still sends its share ahead of it all.
    std::int64_t rate = shaping.bandwidthBytesPerSecond;
    if (rate == 0 && shaping.jitterMs > 0) {
        rate = kMaxBandwidthBytesPerSecond;
    }
    if (rate > 0) {
        arguments.insert(arguments.end(), {"rate", std::to_string(rate * 8) + "bit"});
    }
    if (shaping.latencyMs > 0) {
        arguments.insert(arguments.end(), {"delay", std::to_string(shaping.latencyMs) + "ms"});
        // With no distribution table netem draws the jitter uniformly from
        // the latency minus to the latency plus the jitter.
        if (shaping.jitterMs > 0) {
            arguments.push_back(std::to_string(shaping.jitterMs) + "ms");
        }
    }
    // A whole number of steps divided by their count reads back in four
    // decimals at most, so its shortest text is short.
    const double loss = percentInSteps(shaping.packetLossPercent);
    const double correlation = percentInSteps(shaping.lossCorrelationPercent);
    if (loss > 0.0 && correlation > 0.0 && loss < 100.0) {
        // Not "loss random L% C%": netem's correlated draws bunch around the
        // middle of their range, so 2 % with 25 % correlation drops nothing
        // at all. A two-state chain (lossless good, lossy bad) keeps the loss
        // and gives successive losses the correlation asked: p = L(1 - C)
        // into the bad state, r = (1 - L)(1 - C) out of it.
        const double keep = (100.0 - correlation) / 100.0;
        // Millionths of a percent keep both non-zero down to the smallest
        // loss and up to the largest correlation the check lets through.
        const auto chance = [&](double value) { return percent(std::round(value * 1e6) / 1e6); };
        arguments.insert(arguments.end(), {"loss", "gemodel", chance(loss * keep),
                                           chance((100.0 - loss) * keep), "100%", "0%"});
    } else if (loss > 0.0) {
        arguments.insert(arguments.end(), {"loss", "random", percent(loss)});
    }
    if (const double duplicate = percentInSteps(shaping.duplicatePercent); duplicate > 0.0) {
        arguments.insert(arguments.end(), {"duplicate", percent(duplicate)});
    }
    // Sent ahead means sent without the delay, so tc refuses reordering
    // without one; the parameter check asks for a latency whose inbound half
    // is at least a millisecond.
    if (const double reorder = percentInSteps(shaping.reorderPercent); reorder > 0.0) {
        arguments.insert(arguments.end(), {"reorder", percent(reorder)});
    }
    return arguments;
}

std::vector<Uplink> TrafficControlBackend::readUplinks() const {
    try {
        return m_uplinks->uplinks();
    } catch (const std::exception& error) {
        throw HelperError::commandFailed(std::string("Cannot read the network interfaces: ") +
                                         error.what());
    }
}

std::optional<std::string> TrafficControlBackend::foreignQdisc(const std::string& interface) const {
    const CommandResult shown = m_executor.execute(m_tc, {"qdisc", "show", "dev", interface});
    if (shown.exitCode != 0) {
        throw HelperError::commandFailed("Failed to read the qdiscs of " + interface + ": " +
                                         shown.combinedOutput());
    }
    // "qdisc <kind> <handle> root ..." or "qdisc <kind> <handle> parent ...".
    // The kernel's own root qdiscs have handle 0:; one added by a program has
    // another. An ingress or clsact qdisc is always someone's.
    std::istringstream lines(shown.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, kind, handle, position;
        if (!(words >> word >> kind >> handle >> position) || word != "qdisc") {
            continue;
        }
        if ((position == "root" && handle != "0:") || kind == "ingress" || kind == "clsact") {
            return kind + " " + handle + (position == "root" ? " root" : " ingress");
        }
    }
    return std::nullopt;
}

void TrafficControlBackend::applyShaping(const ShapingPlan& plan) {
    const std::vector<Uplink> uplinks = readUplinks();
    if (uplinks.empty()) {
        // Reporting success here would leave the user believing traffic is
        // shaped while an uplink that comes up later runs at full speed.
        throw HelperError::commandFailed("No network interface with a default route to shape");
    }
    std::string list;
    for (const auto& uplink : uplinks) {
        list += (list.empty() ? "" : ", ") + uplink.name;
    }
    m_logger.log("Shaping interfaces: " + list);
    // Every interface is looked at before any is changed.
    for (const auto& uplink : uplinks) {
        if (const auto foreign = foreignQdisc(uplink.name)) {
            throw HelperError::commandFailed("Cannot shape " + uplink.name +
                                             ": it carries another program's qdisc (" + *foreign +
                                             ")");
        }
    }
    try {
        for (const auto& uplink : uplinks) {
            shapeUplink(uplink, plan);
            m_shaped[uplink.name] = uplink;
        }
    } catch (...) {
        m_logger.log("Removing the shaping of the failed enable");
        m_shaped.clear();
        try {
            removeShaping();
        } catch (const std::exception& error) {
            m_logger.log(std::string("Failed to remove shaping: ") + error.what());
        }
        throw;
    }
    m_plan = plan;
}

std::vector<TrafficControlBackend::Step>
TrafficControlBackend::shapingSteps(const std::string& interface, const std::string& ifb,
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
    std::vector<Step> steps;
    steps.push_back(
        {Step::Tool::tc,
         {"qdisc", "add", "dev", interface, "root", "handle", kRootHandle, "htb", "default", "0"},
         uploadSetup,
         "HTB (module sch_htb)",
         rootEntry(interface)});
    steps.push_back({Step::Tool::tc,
                     concat({"class", "add", "dev", interface, "parent", kRootHandle, "classid",
                             kShapedClass, "htb"},
                            kPassThroughClass),
                     uploadSetup});
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            steps.push_back({Step::Tool::tc,
                             filterArguments(interface, kRootHandle, family, transport,
                                             {"flowid", kShapedClass}),
                             uploadSetup});
        }
    }

    steps.push_back({Step::Tool::ip,
                     {"link", "add", ifb, "type", "ifb"},
                     downloadDevice,
                     "IFB (module ifb)",
                     deviceEntry(ifb)});
    steps.push_back({Step::Tool::ip, {"link", "set", "dev", ifb, "up"}, downloadDevice});
    steps.push_back({Step::Tool::tc,
                     {"qdisc", "add", "dev", interface, "handle", kIngressParent, "ingress"},
                     downloadRedirect,
                     "ingress (module sch_ingress)",
                     ingressEntry(interface)});
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            steps.push_back(
                {Step::Tool::tc,
                 filterArguments(interface, kIngressParent, family, transport,
                                 {"action", "mirred", "egress", "redirect", "dev", ifb}),
                 downloadRedirect});
        }
    }

    steps.push_back({Step::Tool::tc,
                     concat({"qdisc", "add", "dev", interface, "parent", kShapedClass, "handle",
                             kUploadSegmenterHandle},
                            segmenterArguments(frameBytes)),
                     uploadNetem, tbf});
    // The upload side never drops packets: loss is simulated on arrival only.
    steps.push_back({Step::Tool::tc,
                     concat({"qdisc", "add", "dev", interface, "parent", kUploadSegmenterClass,
                             "handle", kUploadNetemHandle},
                            netemArguments(plan.upload)),
                     uploadNetem, netem});
    steps.push_back({Step::Tool::tc,
                     concat({"qdisc", "add", "dev", ifb, "root", "handle", kRootHandle},
                            segmenterArguments(frameBytes)),
                     downloadNetem, tbf});
    steps.push_back({Step::Tool::tc,
                     concat({"qdisc", "add", "dev", ifb, "parent", kDownloadSegmenterClass,
                             "handle", kDownloadNetemHandle},
                            netemArguments(plan.download)),
                     downloadNetem, netem});
    return steps;
}

std::optional<TrafficControlBackend::Step>
TrafficControlBackend::undoStep(const ChangeRecord::Entry& words) {
    if (words.size() == 3 && words[0] == "qdisc" && words[2] == "root") {
        return Step{Step::Tool::tc,
                    {"qdisc", "del", "dev", words[1], "root", "handle", kRootHandle}};
    }
    if (words.size() == 3 && words[0] == "qdisc" && words[2] == "ingress") {
        // Named by kind as well: the kernel then refuses to delete a
        // clsact qdisc that took the handle meanwhile.
        return Step{Step::Tool::tc,
                    {"qdisc", "del", "dev", words[1], "handle", kIngressParent, "ingress"}};
    }
    if (words.size() == 2 && words[0] == "device") {
        return Step{Step::Tool::ip, {"link", "delete", "dev", words[1]}};
    }
    return std::nullopt;
}

void TrafficControlBackend::shapeUplink(const Uplink& uplink, const ShapingPlan& plan) {
    for (const Step& step : shapingSteps(uplink.name, ifbDeviceName(uplink.name),
                                         std::to_string(frameBytes(uplink)), plan)) {
        const std::string& tool = step.tool == Step::Tool::tc ? m_tc : m_ip;
        if (step.entry) {
            change(*step.entry, tool, step.arguments, step.failure, step.kernelFeature);
        } else {
            run(tool, step.arguments, step.failure, step.kernelFeature);
        }
    }
}

void TrafficControlBackend::change(const ChangeRecord::Entry& entry, const std::string& tool,
                                   const std::vector<std::string>& arguments,
                                   const std::string& failure, const char* kernelFeature) {
    try {
        m_record.add(entry);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write the change record: ") +
                                     error.what());
    }
    try {
        run(tool, arguments, failure, kernelFeature);
    } catch (const HelperError&) {
        // The tool said no: nothing was made, and undoing it could remove
        // what another program made in the meantime.
        try {
            std::vector<ChangeRecord::Entry> entries = m_record.entries();
            if (!entries.empty() && entries.back() == entry) {
                entries.pop_back();
                m_record.replace(entries);
            }
        } catch (const std::exception& error) {
            m_logger.log(std::string("Failed to update the change record: ") + error.what());
        }
        throw;
    }
}

void TrafficControlBackend::run(const std::string& tool, const std::vector<std::string>& arguments,
                                const std::string& failure, const char* kernelFeature) {
    const CommandResult result = m_executor.execute(tool, arguments);
    if (result.exitCode == 0) {
        return;
    }
    const std::string output = result.combinedOutput();
    if (kernelFeature != nullptr && reportsMissingKernelFeature(output)) {
        throw HelperError::commandFailed(failure + "the kernel lacks " + kernelFeature + ": " +
                                         output);
    }
    throw HelperError::commandFailed(failure + output);
}

bool TrafficControlBackend::hasRecordedChanges() const {
    return !m_record.isEmpty();
}

void TrafficControlBackend::removeTemporaryLeftovers() noexcept {
    m_record.removeTemporaryLeftovers();
}

void TrafficControlBackend::removeShaping() {
    std::vector<ChangeRecord::Entry> entries;
    try {
        entries = m_record.entries();
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to read the change record: ") +
                                     error.what());
    }
    std::vector<std::string> failures;
    const std::vector<ChangeRecord::Entry> kept = undo(entries, failures);
    m_plan.reset();
    m_shaped.clear();
    try {
        m_record.replace(kept);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to update the change record: ") +
                                     error.what());
    }
    if (!failures.empty()) {
        std::string detail;
        for (const auto& failure : failures) {
            detail += (detail.empty() ? "" : "; ") + failure;
        }
        throw HelperError::cleanupIncomplete(detail);
    }
}

std::vector<ChangeRecord::Entry>
TrafficControlBackend::undo(const std::vector<ChangeRecord::Entry>& entries,
                            std::vector<std::string>& failures) const noexcept {
    std::vector<ChangeRecord::Entry> kept;
    // Newest first: the redirect goes before the device it points to.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        try {
            const auto& words = *entry;
            std::optional<std::string> failure;
            if (const std::optional<Step> step = undoStep(words)) {
                failure = runUndo(step->tool == Step::Tool::tc ? m_tc : m_ip, step->arguments);
            } else {
                std::string line;
                for (const auto& word : words) {
                    line += " " + word;
                }
                m_logger.log("Ignored an unknown entry of the change record:" + line);
            }
            if (failure) {
                kept.insert(kept.begin(), words);
                failures.push_back(std::move(*failure));
            }
        } catch (...) {
            // Building an argument list can only fail for lack of memory; the
            // other entries still get their turn.
        }
    }
    return kept;
}

std::optional<std::string>
TrafficControlBackend::runUndo(const std::string& tool,
                               const std::vector<std::string>& arguments) const {
    std::string commandLine = tool;
    for (const auto& argument : arguments) {
        commandLine += " " + argument;
    }
    CommandResult result;
    try {
        result = m_executor.execute(tool, arguments);
    } catch (const CommandTimeout& timeout) {
        return timeout.what();
    } catch (const std::exception& error) {
        return commandLine + ": " + error.what();
    }
    if (result.exitCode == 0 || reportsAlreadyGone(result.combinedOutput())) {
        return std::nullopt;
    }
    const std::string output = result.combinedOutput();
    return commandLine + ": " +
           (output.empty() ? "exit status " + std::to_string(result.exitCode) : output);
}

void TrafficControlBackend::removeFromInterface(const std::string& interface) noexcept {
    try {
        const std::vector<ChangeRecord::Entry> entries = m_record.entries();
        std::vector<ChangeRecord::Entry> removed;
        for (const auto& entry : entries) {
            if (concerns(entry, interface)) {
                removed.push_back(entry);
            }
        }
        std::vector<std::string> failures;
        const std::vector<ChangeRecord::Entry> failed = undo(removed, failures);
        std::vector<ChangeRecord::Entry> kept;
        for (const auto& entry : entries) {
            if (!concerns(entry, interface) ||
                std::find(failed.begin(), failed.end(), entry) != failed.end()) {
                kept.push_back(entry);
            }
        }
        m_record.replace(kept);
        for (const auto& failure : failures) {
            m_logger.log("Failed to remove the shaping of " + interface + ": " + failure);
        }
    } catch (const std::exception& error) {
        m_logger.log("Failed to remove the shaping of " + interface + ": " + error.what());
    }
    m_shaped.erase(interface);
}

void TrafficControlBackend::followUplinks() noexcept {
    if (!m_plan) {
        return;
    }
    try {
        for (const auto& uplink : readUplinks()) {
            const auto shaped = m_shaped.find(uplink.name);
            if (shaped != m_shaped.end() && shaped->second == uplink) {
                continue;
            }
            // Re-created under the same name: its qdiscs went with the old
            // link, its IFB device did not. With a larger MTU the token
            // bucket would drop its largest frames: shaped anew.
            if (shaped != m_shaped.end()) {
                removeFromInterface(uplink.name);
            }
            m_logger.log("Shaping new uplink " + uplink.name);
            try {
                if (const auto foreign = foreignQdisc(uplink.name)) {
                    m_logger.log("Cannot shape " + uplink.name +
                                 ": it carries another program's qdisc (" + *foreign + ")");
                    continue;
                }
                shapeUplink(uplink, *m_plan);
                m_shaped[uplink.name] = uplink;
            } catch (const std::exception& error) {
                m_logger.log("Failed to shape " + uplink.name + ": " + error.what());
                removeFromInterface(uplink.name);
            }
        }
    } catch (const std::exception& error) {
        m_logger.log(std::string("Failed to follow the uplinks: ") + error.what());
    } catch (...) {
        m_logger.log("Failed to follow the uplinks: unknown error");
    }
}
