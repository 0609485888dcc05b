// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "DecimalFormat.h"
#include "HelperError.h"
#include "InterfaceName.h"
#include "Logger.h"
#include "ThrottleParameters.h"

#include <algorithm>

namespace {

// Hex "VT". The kernel refuses to delete a root qdisc whose handle differs
// from the one named, so clean-up can never remove someone else's.
constexpr const char* kRootHandle = "5654:";
constexpr const char* kShapedClass = "5654:1";
constexpr const char* kUploadNetemHandle = "5655:";
constexpr const char* kIngressParent = "ffff:";

// Filter priorities of our own, so that clean-up deletes exactly our filters
// from an ingress qdisc. IPv4 and IPv6 need one each: the kernel keeps one
// protocol per priority.
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

constexpr std::int64_t kNetemDefaultLimit = 1000;
constexpr std::int64_t kSmallestPacketBytes = 64;

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

// A u32 filter on `parent` that picks one transport protocol of one family.
std::vector<std::string> filterArguments(const std::string& interface, const char* parent,
                                         const AddressFamily& family, const char* transport,
                                         const std::vector<std::string>& target) {
    return concat({"filter", "add", "dev", interface, "parent", parent, "protocol", family.protocol,
                   "pref", family.preference, "u32", "match", family.u32Match, "protocol",
                   transport, "0xff"},
                  target);
}

} // namespace

TrafficControlBackend::TrafficControlBackend(const Logger& logger, EnginePaths paths,
                                             std::unique_ptr<InterfaceList> interfaces)
    : m_logger(logger)
    , m_executor(logger)
    , m_paths(std::move(paths))
    , m_interfaces(std::move(interfaces)) {}

std::vector<std::string> TrafficControlBackend::netemArguments(const DirectionShaping& shaping) {
    std::vector<std::string> arguments = {"netem", "limit", std::to_string(netemLimit(shaping))};
    if (shaping.bandwidthBytesPerSecond > 0) {
        arguments.insert(arguments.end(),
                         {"rate", std::to_string(shaping.bandwidthBytesPerSecond * 8) + "bit"});
    }
    if (shaping.latencyMs > 0) {
        arguments.insert(arguments.end(), {"delay", std::to_string(shaping.latencyMs) + "ms"});
    }
    if (shaping.packetLossPercent > 0.0) {
        arguments.insert(arguments.end(), {"loss", "random",
                                           formatShortestDecimal(shaping.packetLossPercent) + "%"});
    }
    return arguments;
}

std::int64_t TrafficControlBackend::netemLimit(const DirectionShaping& shaping) {
    const std::int64_t bytesPerSecond = shaping.bandwidthBytesPerSecond > 0
                                            ? shaping.bandwidthBytesPerSecond
                                            : kMaxBandwidthBytesPerSecond;
    // At most 1.25e9 * 10000 = 1.25e13 bytes in flight: no overflow, and the
    // packet count stays below netem's 32-bit limit.
    const std::int64_t bytesInFlight =
        bytesPerSecond * std::max<std::int64_t>(shaping.latencyMs, 0);
    const std::int64_t packets =
        (bytesInFlight + 1000 * kSmallestPacketBytes - 1) / (1000 * kSmallestPacketBytes);
    return std::max(kNetemDefaultLimit, packets);
}

std::vector<std::string> TrafficControlBackend::interfacesToShape() const {
    std::vector<std::string> names;
    for (const auto& interface : m_interfaces->interfaces()) {
        if (interface.isUp && !interface.isLoopback && !isOurIfbDevice(interface.name) &&
            isUsableInterfaceName(interface.name)) {
            names.push_back(interface.name);
        }
    }
    return names;
}

void TrafficControlBackend::applyShaping(const ShapingPlan& plan) {
    const std::vector<std::string> interfaces = interfacesToShape();
    if (interfaces.empty()) {
        // Reporting success here would leave the user believing traffic is
        // shaped while an interface that comes up later runs at full speed.
        throw HelperError::commandFailed("No network interface is up to shape");
    }
    std::string list;
    for (const auto& name : interfaces) {
        list += (list.empty() ? "" : ", ") + name;
    }
    m_logger.log("Shaping interfaces: " + list);
    for (const auto& name : interfaces) {
        shapeInterface(name, plan);
    }
}

void TrafficControlBackend::shapeInterface(const std::string& interface, const ShapingPlan& plan) {
    const std::string ifb = ifbDeviceName(interface);
    const std::string on = " on " + interface + ": ";
    const std::string uploadSetup = "Failed to set up upload shaping" + on;
    const std::string downloadDevice =
        "Failed to create the download device for " + interface + ": ";
    const std::string downloadRedirect = "Failed to redirect download traffic" + on;

    // The paths first, the netem leaves last: were netem missing or failing,
    // what is left behind passes traffic untouched instead of half-shaping it.
    run(m_paths.tc,
        {"qdisc", "add", "dev", interface, "root", "handle", kRootHandle, "htb", "default", "0"},
        uploadSetup, "HTB (module sch_htb)");
    run(m_paths.tc,
        concat({"class", "add", "dev", interface, "parent", kRootHandle, "classid", kShapedClass,
                "htb"},
               kPassThroughClass),
        uploadSetup);
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            run(m_paths.tc,
                filterArguments(interface, kRootHandle, family, transport,
                                {"flowid", kShapedClass}),
                uploadSetup);
        }
    }

    run(m_paths.ip, {"link", "add", ifb, "type", "ifb"}, downloadDevice, "IFB (module ifb)");
    run(m_paths.ip, {"link", "set", "dev", ifb, "up"}, downloadDevice);
    run(m_paths.tc, {"qdisc", "add", "dev", interface, "handle", kIngressParent, "ingress"},
        downloadRedirect, "ingress (module sch_ingress)");
    for (const auto& family : kFamilies) {
        for (const char* transport : kTransportProtocols) {
            run(m_paths.tc,
                filterArguments(interface, kIngressParent, family, transport,
                                {"action", "mirred", "egress", "redirect", "dev", ifb}),
                downloadRedirect);
        }
    }

    // The upload side never drops packets: loss is simulated on arrival only.
    run(m_paths.tc,
        concat({"qdisc", "add", "dev", interface, "parent", kShapedClass, "handle",
                kUploadNetemHandle},
               netemArguments({plan.upload.bandwidthBytesPerSecond, plan.upload.latencyMs, 0.0})),
        "Failed to configure upload shaping" + on, "netem (module sch_netem)");
    run(m_paths.tc,
        concat({"qdisc", "add", "dev", ifb, "root", "handle", kRootHandle},
               netemArguments(plan.download)),
        "Failed to configure download shaping" + on, "netem (module sch_netem)");
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

void TrafficControlBackend::removeShaping() noexcept {
    std::vector<NetworkInterface> interfaces = m_interfaces->interfaces();
    std::vector<std::string> deletedDevices;
    for (const auto& interface : interfaces) {
        if (interface.isLoopback || isOurIfbDevice(interface.name) ||
            !isUsableInterfaceName(interface.name)) {
            continue;
        }
        removeFromInterface(interface.name);
        try {
            deletedDevices.push_back(ifbDeviceName(interface.name));
        } catch (...) {
            // Only costs a second delete attempt below.
        }
    }
    // Devices whose interface has gone since they were made.
    for (const auto& interface : interfaces) {
        if (isOurIfbDevice(interface.name) &&
            std::find(deletedDevices.begin(), deletedDevices.end(), interface.name) ==
                deletedDevices.end()) {
            m_executor.executeIgnoringErrors(m_paths.ip, {"link", "delete", "dev", interface.name});
        }
    }
}

void TrafficControlBackend::removeFromInterface(const std::string& interface) noexcept {
    try {
        m_executor.executeIgnoringErrors(
            m_paths.tc, {"qdisc", "del", "dev", interface, "root", "handle", kRootHandle});
        for (const auto& family : kFamilies) {
            m_executor.executeIgnoringErrors(
                m_paths.tc, {"filter", "del", "dev", interface, "parent", kIngressParent,
                             "protocol", family.protocol, "pref", family.preference});
        }
        removeIngressIfUnused(interface);
        m_executor.executeIgnoringErrors(m_paths.ip,
                                         {"link", "delete", "dev", ifbDeviceName(interface)});
    } catch (...) {
        // Building an argument list can only fail for lack of memory; the
        // other interfaces still get their turn.
    }
}

void TrafficControlBackend::removeIngressIfUnused(const std::string& interface) noexcept {
    // The ingress qdisc has the same handle whoever made it. With our filters
    // gone, one that still holds filters belongs to someone else and stays;
    // an empty one is ours from an earlier enable, or does nothing anyway.
    try {
        const CommandResult filters = m_executor.execute(
            m_paths.tc, {"filter", "show", "dev", interface, "parent", kIngressParent});
        if (filters.exitCode != 0 || !filters.output.empty()) {
            return;
        }
        // Named by kind: the kernel then refuses to delete a clsact qdisc,
        // whose other half may carry someone's outbound programs.
        m_executor.executeIgnoringErrors(
            m_paths.tc, {"qdisc", "del", "dev", interface, "handle", kIngressParent, "ingress"});
    } catch (const std::exception& error) {
        m_logger.log(std::string("Command failed (ignored): ") + error.what());
    } catch (...) {
        m_logger.log("Command failed (ignored): unknown error");
    }
}
