// SPDX-License-Identifier: MIT
#include "NetlinkMessages.h"
#include "NetlinkRequest.h"

#include <cerrno>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <system_error>

namespace Netlink {

namespace {

// The kernel's message of an error answer, when it gave one.
std::string extendedAckMessage(const nlmsghdr* answer) {
    if ((answer->nlmsg_flags & NLM_F_ACK_TLVS) == 0) {
        return {};
    }
    const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(answer));
    size_t offset = sizeof(nlmsgerr);
    if ((answer->nlmsg_flags & NLM_F_CAPPED) == 0) {
        offset += error->msg.nlmsg_len - sizeof(nlmsghdr);
    }
    const size_t payload = answer->nlmsg_len - NLMSG_HDRLEN;
    if (offset >= payload) {
        return {};
    }
    int left = static_cast<int>(payload - offset);
    for (auto* attribute =
             reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(error) + offset);
         RTA_OK(attribute, left); attribute = RTA_NEXT(attribute, left)) {
        if (attribute->rta_type == NLMSGERR_ATTR_MSG) {
            return static_cast<const char*>(RTA_DATA(attribute));
        }
    }
    return {};
}

} // namespace

FileDescriptor openSocket() {
    FileDescriptor fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    // The kernel's own words on a refusal, as ip prints them; and no copy of
    // the request in the answer.
    const int on = 1;
    ::setsockopt(fd.get(), SOL_NETLINK, NETLINK_EXT_ACK, &on, sizeof on);
    ::setsockopt(fd.get(), SOL_NETLINK, NETLINK_CAP_ACK, &on, sizeof on);
    // The kernel answers at once; this only bounds a kernel that does not.
    const timeval limit{5, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throwErrno(errno);
    }
    return fd;
}

ssize_t receive(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t length = ::recv(fd, buffer, size, 0);
        if (length >= 0 || errno != EINTR) {
            if (length < 0) {
                throwErrno(errno);
            }
            return length;
        }
    }
}

std::string talk(Request& request) {
    if (request.overflowed) {
        return "Error: request too long.";
    }
    const FileDescriptor fd = openSocket();
    return talk(fd.get(), request, 1);
}

std::string talk(int fd, Request& request, std::uint32_t sequence) {
    if (request.overflowed) {
        return "Error: request too long.";
    }
    request.header()->nlmsg_flags |= NLM_F_REQUEST | NLM_F_ACK;
    request.header()->nlmsg_seq = sequence;
    if (::send(fd, request.bytes, request.header()->nlmsg_len, 0) < 0) {
        throwErrno(errno);
    }
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        int left = static_cast<int>(receive(fd, buffer, sizeof buffer));
        for (auto* answer = reinterpret_cast<nlmsghdr*>(buffer); netlinkMessageFits(answer, left);
             answer = NLMSG_NEXT(answer, left)) {
            if (answer->nlmsg_type != NLMSG_ERROR || answer->nlmsg_seq != sequence) {
                continue;
            }
            const int code = -static_cast<const nlmsgerr*>(NLMSG_DATA(answer))->error;
            if (code == 0) {
                return {};
            }
            std::string message = extendedAckMessage(answer);
            if (message.empty()) {
                return std::string("RTNETLINK answers: ") + std::strerror(code);
            }
            return "Error: " + message + (message.back() == '.' ? "" : ".");
        }
    }
}

unsigned interfaceIndex(int fd, const std::string& name) {
    ifreq request{};
    if (name.size() >= sizeof request.ifr_name) {
        return 0;
    }
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    // Any socket answers this; the routing socket at hand saves opening one.
    if (::ioctl(fd, SIOCGIFINDEX, &request) != 0) {
        if (errno == ENODEV) {
            return 0;
        }
        throwErrno(errno);
    }
    return static_cast<unsigned>(request.ifr_ifindex);
}

} // namespace Netlink
