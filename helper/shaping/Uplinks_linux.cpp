// SPDX-License-Identifier: MIT
// Uplinks and their changes, read from the kernel over rtnetlink.
#include "FileDescriptor.h"
#include "InterfaceName.h"
#include "NetlinkMessages.h"
#include "Uplinks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <net/if.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

FileDescriptor routeSocket(unsigned groups) {
    FileDescriptor fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | (groups ? SOCK_NONBLOCK : 0),
                               NETLINK_ROUTE));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = groups;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throwErrno(errno);
    }
    return fd;
}

// Sends one dump request and hands every answer message to `take`.
template <typename Header, typename Take>
void dump(int fd, std::uint16_t type, unsigned char family, Take take) {
    struct {
        nlmsghdr header;
        Header body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    reinterpret_cast<unsigned char&>(request.body) = family; // both bodies start with it
    if (::send(fd, &request, sizeof request, 0) < 0) {
        throwErrno(errno);
    }
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t length = ::recv(fd, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno);
        }
        int left = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); netlinkMessageFits(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE) {
                return;
            }
            if (message->nlmsg_type == NLMSG_ERROR) {
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
                throwErrno(error->error == 0 ? EPROTO : -error->error);
            }
            take(message);
        }
    }
}

struct Link {
    std::string name;
    unsigned flags = 0;
    std::string kind;
    unsigned mtu = 0;
};

std::map<unsigned, Link> readLinks(int fd) {
    std::map<unsigned, Link> links;
    dump<ifinfomsg>(fd, RTM_GETLINK, AF_UNSPEC, [&](nlmsghdr* message) {
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
        Link link{{}, info->ifi_flags, {}, 0};
        int left = static_cast<int>(IFLA_PAYLOAD(message));
        for (const rtattr* attribute = IFLA_RTA(info); RTA_OK(attribute, left);
             attribute = RTA_NEXT(attribute, left)) {
            if (attribute->rta_type == IFLA_IFNAME) {
                link.name = static_cast<const char*>(RTA_DATA(attribute));
            } else if (attribute->rta_type == IFLA_MTU) {
                link.mtu = *static_cast<const std::uint32_t*>(RTA_DATA(attribute));
            } else if (attribute->rta_type == IFLA_LINKINFO) {
                int nestedLeft = static_cast<int>(RTA_PAYLOAD(attribute));
                for (const auto* nested = static_cast<const rtattr*>(RTA_DATA(attribute));
                     RTA_OK(nested, nestedLeft); nested = RTA_NEXT(nested, nestedLeft)) {
                    if (nested->rta_type == IFLA_INFO_KIND) {
                        link.kind = static_cast<const char*>(RTA_DATA(nested));
                    }
                }
            }
        }
        links[static_cast<unsigned>(info->ifi_index)] = link;
    });
    return links;
}

// The interfaces that routes to "anywhere" leave through.
std::set<unsigned> defaultRouteInterfaces(int fd) {
    std::set<unsigned> interfaces;
    for (const unsigned char family : {AF_INET, AF_INET6}) {
        dump<rtmsg>(fd, RTM_GETROUTE, family, [&](nlmsghdr* message) {
            const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
            // /0 is the default route; a VPN often sets two /1 routes instead
            // so as not to replace it.
            if (route->rtm_type != RTN_UNICAST || route->rtm_dst_len > 1 ||
                route->rtm_table == RT_TABLE_LOCAL) {
                return;
            }
            int left = static_cast<int>(RTM_PAYLOAD(message));
            for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, left);
                 attribute = RTA_NEXT(attribute, left)) {
                if (attribute->rta_type == RTA_OIF) {
                    interfaces.insert(*static_cast<const std::uint32_t*>(RTA_DATA(attribute)));
                } else if (attribute->rta_type == RTA_MULTIPATH) {
                    int hopsLeft = static_cast<int>(RTA_PAYLOAD(attribute));
                    for (const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
                         RTNH_OK(hop, hopsLeft);
                         hopsLeft -= RTNH_ALIGN(hop->rtnh_len), hop = RTNH_NEXT(hop)) {
                        interfaces.insert(static_cast<unsigned>(hop->rtnh_ifindex));
                    }
                }
            }
        });
    }
    return interfaces;
}

} // namespace

std::vector<Uplink> SystemUplinks::uplinks() const {
    const FileDescriptor fd = routeSocket(0);
    const std::map<unsigned, Link> links = readLinks(fd.get());
    std::vector<Uplink> result;
    for (const unsigned index : defaultRouteInterfaces(fd.get())) {
        const auto link = links.find(index);
        if (link == links.end() || (link->second.flags & IFF_UP) == 0 ||
            (link->second.flags & IFF_LOOPBACK) != 0 || link->second.kind == "ifb" ||
            !isUsableInterfaceName(link->second.name)) {
            continue;
        }
        result.push_back({link->second.name, index, link->second.mtu});
    }
    std::sort(result.begin(), result.end(),
              [](const Uplink& a, const Uplink& b) { return a.name < b.name; });
    return result;
}

UplinkMonitor::UplinkMonitor()
    : m_fd(routeSocket(RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE).release()) {}

UplinkMonitor::~UplinkMonitor() {
    ::close(m_fd);
}

bool UplinkMonitor::takeChanges() noexcept {
    bool changed = false;
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t length = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EINTR) {
                continue;
            }
            // ENOBUFS: the kernel dropped reports we were too slow to read.
            return changed || errno == ENOBUFS;
        }
        if (length == 0) {
            return changed;
        }
        int left = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); netlinkMessageFits(message, left);
             message = NLMSG_NEXT(message, left)) {
            switch (message->nlmsg_type) {
            case RTM_NEWLINK:
            case RTM_DELLINK:
            case RTM_NEWROUTE:
            case RTM_DELROUTE:
                changed = true;
                break;
            default:
                break;
            }
        }
    }
}
