// SPDX-License-Identifier: MIT
#include "NetnsSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int socketIn(const NetnsPair& pair, NetnsPair::Side side, bool ipv6, int type) {
    const NetnsScope scope(pair.fd(side));
    return ::socket(ipv6 ? AF_INET6 : AF_INET, type | SOCK_CLOEXEC, 0);
}

} // namespace

NetnsSocket::NetnsSocket(int fd)
    : fd(fd) {
    if (fd < 0) {
        fail("socket");
    }
}

NetnsSocket::NetnsSocket(const NetnsPair& pair, Side side, bool ipv6, int type,
                         const char* peerAddress)
    : NetnsSocket(socketIn(pair, side, ipv6, type)) {
    const char* bound =
        side == Side::peer && peerAddress != nullptr ? peerAddress : pair.address(side, ipv6);
    sockaddr_storage address{};
    auto& in4 = reinterpret_cast<sockaddr_in&>(address);
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    address.ss_family = ipv6 ? AF_INET6 : AF_INET;
    void* ip = ipv6 ? static_cast<void*>(&in6.sin6_addr) : &in4.sin_addr;
    if (::inet_pton(address.ss_family, bound, ip) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), ipv6 ? sizeof in6 : sizeof in4)) {
        // Constructed already by the delegated constructor: its destructor
        // closes the descriptor.
        fail("bind");
    }
}

NetnsSocket::~NetnsSocket() {
    ::close(fd);
}

void NetnsSocket::connectTo(const NetnsSocket& other) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if (::getsockname(other.fd, raw, &length) != 0 || ::connect(fd, raw, length) != 0) {
        fail("connect");
    }
}

void NetnsSocket::setReceiveTimeout(std::chrono::milliseconds timeout) const {
    const auto ms = std::max<long>(timeout.count(), 1);
    const timeval value{ms / 1000, ms % 1000 * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
}
