// SPDX-License-Identifier: MIT
// IFB devices, qdisc lists, qdisc removals and netem changes over rtnetlink:
// what ip and tc would do for shaping, without starting either.
#include "FileDescriptor.h"
#include "HelperError.h"
#include "Logger.h"
#include "NetemChange.h"
#include "NetlinkDevices.h"
#include "NetlinkMessages.h"
#include "NetlinkRequest.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/pkt_sched.h>
#include <linux/rtnetlink.h>
#include <mutex>
#include <net/if.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <system_error>

namespace {

using Netlink::Request;
using Netlink::talk;

Request linkRequest(std::uint16_t type, std::uint16_t flags, const std::string& name,
                    unsigned upFlags) {
    Request request;
    request.header()->nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header()->nlmsg_type = type;
    request.header()->nlmsg_flags = flags;
    auto* info = static_cast<ifinfomsg*>(NLMSG_DATA(request.header()));
    info->ifi_family = AF_UNSPEC;
    info->ifi_flags = upFlags;
    info->ifi_change = upFlags;
    request.addString(IFLA_IFNAME, name);
    return request;
}

// What one of the ip steps of shaping says, or why it is not one.
std::string runLinkStep(const std::vector<std::string>& words) {
    const bool named = words.size() >= 3 && words[0] == "link";
    if (named && words.size() == 5 && words[1] == "add" && words[3] == "type") {
        Request request = linkRequest(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL, words[2], 0);
        rtattr* linkInfo = request.beginNest(IFLA_LINKINFO);
        request.addString(IFLA_INFO_KIND, words[4]);
        request.endNest(linkInfo);
        return talk(request);
    }
    // ip looks the device up by name first, and says so when it is gone.
    const auto gone = [](const std::string& name, std::string said) {
        return said == std::string("RTNETLINK answers: ") + std::strerror(ENODEV)
                   ? "Cannot find device \"" + name + "\""
                   : said;
    };
    if (named && words.size() == 5 && words[1] == "set" && words[2] == "dev" && words[4] == "up") {
        Request request = linkRequest(RTM_NEWLINK, 0, words[3], IFF_UP);
        return gone(words[3], talk(request));
    }
    if (named && words.size() == 4 && words[1] == "delete" && words[2] == "dev") {
        Request request = linkRequest(RTM_DELLINK, 0, words[3], 0);
        return gone(words[3], talk(request));
    }
    return "Not an ip step of shaping";
}

// A qdisc handle as tc writes it ("5654:"), or nothing for anything else.
std::optional<std::uint32_t> parsedHandle(const std::string& text) {
    if (text.size() < 2 || text.size() > 5 || text.back() != ':') {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long major = std::strtoul(text.c_str(), &end, 16);
    if (end != text.c_str() + text.size() - 1 || major == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(major << 16);
}

// A whole qdisc that shaping removes: its device, where it hangs, its
// handle, and for the ingress qdisc its kind, which the kernel compares
// too.
struct QdiscRemoval {
    std::string interface;
    std::uint32_t parent = 0;
    std::uint32_t handle = 0;
    std::string kind;
};

std::optional<QdiscRemoval> qdiscRemoval(const std::vector<std::string>& words) {
    if (words.size() != 7 || words[0] != "qdisc" || words[1] != "del" || words[2] != "dev") {
        return std::nullopt;
    }
    if (words[4] == "root" && words[5] == "handle") {
        if (const auto handle = parsedHandle(words[6])) {
            return QdiscRemoval{words[3], TC_H_ROOT, *handle, {}};
        }
    }
    if (words[4] == "handle" && words[6] == "ingress") {
        if (const auto handle = parsedHandle(words[5])) {
            return QdiscRemoval{words[3], TC_H_INGRESS, *handle, "ingress"};
        }
    }
    return std::nullopt;
}

Request qdiscRequest(std::uint16_t type, std::uint16_t flags) {
    Request request;
    request.header()->nlmsg_len = NLMSG_LENGTH(sizeof(tcmsg));
    request.header()->nlmsg_type = type;
    request.header()->nlmsg_flags = flags;
    static_cast<tcmsg*>(NLMSG_DATA(request.header()))->tcm_family = AF_UNSPEC;
    return request;
}

// How ip or tc at `tool` would be named running `arguments`.
std::string joined(const std::string& tool, const std::vector<std::string>& arguments) {
    std::string line = tool;
    for (const auto& argument : arguments) {
        line += " " + argument;
    }
    return line;
}

std::string removeQdisc(const QdiscRemoval& removal) {
    // tc looks the device up by name first, and says so when it is gone.
    const unsigned index = ::if_nametoindex(removal.interface.c_str());
    if (index == 0) {
        return "Cannot find device \"" + removal.interface + "\"";
    }
    Request request = qdiscRequest(RTM_DELQDISC, 0);
    auto* qdisc = static_cast<tcmsg*>(NLMSG_DATA(request.header()));
    qdisc->tcm_ifindex = static_cast<int>(index);
    qdisc->tcm_parent = removal.parent;
    qdisc->tcm_handle = removal.handle;
    if (!removal.kind.empty()) {
        request.addString(TCA_KIND, removal.kind);
    }
    return talk(request);
}

// As tc sends a change: the fixed options, then only what is named, the
// delays always in nanoseconds (the fixed options' ticks are no longer read
// where those are sent).
std::string changeNetem(int fd, std::uint32_t sequence, const NetemChange& change) {
    const unsigned index = Netlink::interfaceIndex(fd, change.device);
    if (index == 0) {
        return "Cannot find device \"" + change.device + "\"";
    }
    Request request = qdiscRequest(RTM_NEWQDISC, 0);
    auto* qdisc = static_cast<tcmsg*>(NLMSG_DATA(request.header()));
    qdisc->tcm_ifindex = static_cast<int>(index);
    qdisc->tcm_parent = change.parent;
    qdisc->tcm_handle = change.handle;
    request.addString(TCA_KIND, "netem");
    rtattr* options = request.beginNest(TCA_OPTIONS);
    tc_netem_qopt fixed{};
    fixed.limit = change.limit;
    fixed.loss = change.loss;
    fixed.duplicate = change.duplicate;
    // tc's default for reordering without a gap: every packet may go ahead.
    fixed.gap = change.reorder.value_or(0) != 0 ? 1 : 0;
    request.addBytes(&fixed, sizeof fixed);
    if (change.reorder) {
        const tc_netem_reorder reorder{*change.reorder, 0};
        request.addAttribute(TCA_NETEM_REORDER, &reorder, sizeof reorder);
    }
    if (change.gilbertElliott) {
        const auto& [p, r, oneMinusH, oneMinusK] = *change.gilbertElliott;
        constexpr std::uint32_t kCertain = 0xFFFFFFFFu;
        // tc sends h as given by its complement, and 1 - k as it is.
        const tc_netem_gemodel model{p, r, kCertain - oneMinusH, oneMinusK};
        rtattr* loss = request.beginNest(TCA_NETEM_LOSS | NLA_F_NESTED);
        request.addAttribute(NETEM_LOSS_GE, &model, sizeof model);
        request.endNest(loss);
    }
    if (change.rateBytesPerSecond) {
        tc_netem_rate rate{};
        if (*change.rateBytesPerSecond >= (1ULL << 32)) {
            const std::uint64_t wide = *change.rateBytesPerSecond;
            request.addAttribute(TCA_NETEM_RATE64, &wide, sizeof wide);
            rate.rate = 0xFFFFFFFFu;
        } else {
            rate.rate = static_cast<std::uint32_t>(*change.rateBytesPerSecond);
        }
        request.addAttribute(TCA_NETEM_RATE, &rate, sizeof rate);
    }
    const auto latency = static_cast<std::int64_t>(change.latencyNs);
    const auto jitter = static_cast<std::int64_t>(change.jitterNs);
    request.addAttribute(TCA_NETEM_LATENCY64, &latency, sizeof latency);
    request.addAttribute(TCA_NETEM_JITTER64, &jitter, sizeof jitter);
    request.endNest(options);
    return talk(fd, request, sequence);
}

std::string handleText(std::uint32_t handle) {
    char text[16];
    std::snprintf(text, sizeof text, "%x:", handle >> 16);
    return text;
}

} // namespace

// The routing socket of changes in place, kept from one to the next: a
// schedule's steps come ten a second, and opening a socket for each was
// most of a step's cost. Opened again in another network namespace, and
// after any failure, so that no late answer waits in it.
struct NetlinkDevices::ChangeSocket {
    std::mutex lock;
    std::optional<FileDescriptor> fd;
    struct stat space {};
    std::uint32_t sequence = 0;

    // Runs `change` with the socket and a new request number; a failure,
    // thrown or said, closes the socket.
    template <typename Change>
    std::string use(Change change) {
        const std::lock_guard guard(lock);
        struct stat current {};
        if (::stat("/proc/thread-self/ns/net", &current) != 0) {
            throwErrno(errno);
        }
        if (fd && (current.st_ino != space.st_ino || current.st_dev != space.st_dev)) {
            fd.reset();
        }
        if (!fd) {
            fd.emplace(Netlink::openSocket());
            space = current;
        }
        std::string said;
        try {
            said = change(fd->get(), ++sequence);
        } catch (...) {
            fd.reset();
            throw;
        }
        if (!said.empty()) {
            fd.reset();
        }
        return said;
    }
};

NetlinkDevices::NetlinkDevices(const Logger& logger, std::string ip, std::string tc)
    : m_logger(logger)
    , m_ip(std::move(ip))
    , m_tc(std::move(tc))
    , m_changeSocket(std::make_unique<ChangeSocket>()) {}

NetlinkDevices::~NetlinkDevices() = default;

std::vector<QdiscInfo> NetlinkDevices::qdiscs(const std::string& interface) const {
    const auto failed = [&](const std::string& why) {
        return HelperError::commandFailed("Failed to read the qdiscs of " + interface + ": " + why);
    };
    const unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) {
        throw failed("Cannot find device \"" + interface + "\"");
    }
    std::vector<QdiscInfo> found;
    try {
        const FileDescriptor fd = Netlink::openSocket();
        Request request = qdiscRequest(RTM_GETQDISC, NLM_F_REQUEST | NLM_F_DUMP);
        request.header()->nlmsg_seq = 1;
        if (::send(fd.get(), request.bytes, request.header()->nlmsg_len, 0) < 0) {
            throwErrno(errno);
        }
        alignas(nlmsghdr) char buffer[32768];
        for (;;) {
            int left = static_cast<int>(Netlink::receive(fd.get(), buffer, sizeof buffer));
            for (auto* answer = reinterpret_cast<nlmsghdr*>(buffer);
                 netlinkMessageFits(answer, left); answer = NLMSG_NEXT(answer, left)) {
                if (answer->nlmsg_type == NLMSG_DONE) {
                    return found;
                }
                if (answer->nlmsg_type == NLMSG_ERROR) {
                    const int code = -static_cast<const nlmsgerr*>(NLMSG_DATA(answer))->error;
                    throwErrno(code == 0 ? EPROTO : code);
                }
                const auto* qdisc = static_cast<const tcmsg*>(NLMSG_DATA(answer));
                if (answer->nlmsg_type != RTM_NEWQDISC ||
                    static_cast<unsigned>(qdisc->tcm_ifindex) != index) {
                    continue;
                }
                QdiscInfo info{{}, handleText(qdisc->tcm_handle), qdisc->tcm_parent == TC_H_ROOT};
                int attributesLeft =
                    static_cast<int>(answer->nlmsg_len - NLMSG_LENGTH(sizeof(tcmsg)));
                for (auto* attribute = reinterpret_cast<const rtattr*>(
                         reinterpret_cast<const char*>(qdisc) + NLMSG_ALIGN(sizeof(tcmsg)));
                     RTA_OK(attribute, attributesLeft);
                     attribute = RTA_NEXT(attribute, attributesLeft)) {
                    if (attribute->rta_type == TCA_KIND) {
                        info.kind = static_cast<const char*>(RTA_DATA(attribute));
                    }
                }
                found.push_back(std::move(info));
            }
        }
    } catch (const std::system_error& error) {
        throw failed(error.what());
    }
}

template <typename Step>
std::vector<LineOutcome> NetlinkDevices::runEach(const std::string& tool,
                                                 const std::vector<std::vector<std::string>>& lines,
                                                 bool carryOn, Step step) const {
    std::vector<LineOutcome> outcomes(lines.size());
    for (size_t index = 0; index < lines.size(); ++index) {
        m_logger.log("Executing over rtnetlink: " + joined(tool, lines[index]));
        std::string said;
        try {
            said = step(lines[index]);
        } catch (const std::system_error& error) {
            said = error.what();
        }
        if (said.empty()) {
            outcomes[index].state = LineOutcome::State::done;
            continue;
        }
        m_logger.log("Command failed: " + said);
        outcomes[index] = {LineOutcome::State::refused, said};
        if (!carryOn) {
            break;
        }
    }
    return outcomes;
}

std::vector<LineOutcome> NetlinkDevices::runIp(const std::vector<std::vector<std::string>>& lines,
                                               bool carryOn) const {
    return runEach(m_ip, lines, carryOn, runLinkStep);
}

std::optional<std::vector<LineOutcome>>
NetlinkDevices::removeQdiscs(const std::vector<std::vector<std::string>>& lines) const {
    for (const auto& line : lines) {
        if (!qdiscRemoval(line)) {
            return std::nullopt;
        }
    }
    return runEach(m_tc, lines, true, [](const std::vector<std::string>& words) {
        return removeQdisc(*qdiscRemoval(words));
    });
}

std::optional<std::vector<LineOutcome>>
NetlinkDevices::changeLeaves(const std::vector<std::vector<std::string>>& lines) const {
    std::vector<NetemChange> changes;
    for (const auto& line : lines) {
        const auto change = NetemChange::parse(line);
        if (!change) {
            return std::nullopt;
        }
        changes.push_back(*change);
    }
    std::vector<LineOutcome> outcomes(lines.size());
    for (size_t index = 0; index < changes.size(); ++index) {
        std::string said;
        try {
            said = m_changeSocket->use([&](int fd, std::uint32_t sequence) {
                return changeNetem(fd, sequence, changes[index]);
            });
        } catch (const std::system_error& error) {
            said = error.what();
        }
        if (!said.empty()) {
            outcomes[index] = {LineOutcome::State::refused, said};
            break;
        }
        outcomes[index].state = LineOutcome::State::done;
    }
    return outcomes;
}

std::string NetlinkDevices::commandLine(const std::vector<std::string>& arguments) const {
    return joined(m_ip, arguments);
}
