// SPDX-License-Identifier: MIT
#include "ShapedPackets.h"

#include "TrafficControlStatistics.h"

#include <regex>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kTcTool = "/usr/sbin/tc";

const TrafficControlStatistics::Qdisc&
qdisc(const std::vector<TrafficControlStatistics::Qdisc>& all, const std::string& device,
      const std::string& kind) {
    for (const auto& one : all) {
        if (one.device == device && one.kind == kind && one.counted) {
            return one;
        }
    }
    throw std::runtime_error("tc lists no counted " + kind + " qdisc of " + device);
}

} // namespace

ShapedPackets ShapedPackets::count(NetnsPair& pair, int slot) {
    using Side = NetnsPair::Side;
    const auto qdiscs =
        TrafficControlStatistics::parse(pair.run(Side::shaped, kTcTool, {"-s", "qdisc", "show"}));
    const std::string classId = "5654:" + std::to_string(slot);
    const std::string classes =
        pair.run(Side::shaped, kTcTool, {"-s", "class", "show", "dev", "vt0", "classid", classId});
    std::smatch match;
    if (!std::regex_search(classes, match,
                           std::regex(" Sent [0-9]+ bytes ([0-9]+) pkt \\(dropped ([0-9]+)"))) {
        throw std::runtime_error("tc lists no counted class " + classId + " of vt0: " + classes);
    }
    return {qdisc(qdiscs, "vt0", "htb").statistics.packets,
            qdisc(qdiscs, "vt0", "ingress").statistics.packets,
            std::stoull(match[1]) + std::stoull(match[2]),
            qdisc(qdiscs, "vtifb-vt0", "htb").statistics.packets};
}
