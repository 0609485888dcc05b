// SPDX-License-Identifier: MIT
#include "TrafficProbe.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace TrafficProbe {
namespace {

using Clock = std::chrono::steady_clock;
using Side = NetnsPair::Side;

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

class Socket final {
public:
    explicit Socket(int fd)
        : m_fd(fd) {
        if (fd < 0) {
            fail("socket");
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { ::close(m_fd); }
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

Address makeAddress(const char* text, bool ipv6, in_port_t port) {
    Address address;
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        ::inet_pton(AF_INET6, text, &in6->sin6_addr);
        address.length = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address.storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        ::inet_pton(AF_INET, text, &in4->sin_addr);
        address.length = sizeof(sockaddr_in);
    }
    return address;
}

// A socket made inside `side`'s namespace and bound to its address; it stays
// in that namespace whichever thread uses it later.
int boundSocket(const NetnsPair& pair, Side side, bool ipv6, int type) {
    const NetnsScope scope(pair.fd(side));
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail("socket");
    }
    const Address address = makeAddress(pair.address(side, ipv6), ipv6, 0);
    if (::bind(fd, address.get(), address.length) != 0) {
        ::close(fd);
        fail("bind");
    }
    return fd;
}

Address localAddress(int fd) {
    Address address;
    address.length = sizeof address.storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address.storage), &address.length) != 0) {
        fail("getsockname");
    }
    return address;
}

bool readable(int fd, std::chrono::milliseconds timeout) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

void setBuffer(int fd, int option, int bytes) {
    // The forcing variant lifts the system maximum, which is far too small for
    // a burst of thousands of datagrams; it needs root, as the namespaces do.
    const int forced = option == SO_RCVBUF ? SO_RCVBUFFORCE : SO_SNDBUFFORCE;
    if (::setsockopt(fd, SOL_SOCKET, forced, &bytes, sizeof bytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes);
    }
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

double tcpGoodputBitsPerSecond(const NetnsPair& pair, Direction direction, bool ipv6,
                               std::chrono::milliseconds warmUp,
                               std::chrono::milliseconds measure) {
    const Side receiverSide = direction == Direction::download ? Side::shaped : Side::peer;
    const Side senderSide = direction == Direction::download ? Side::peer : Side::shaped;

    const Socket listener(boundSocket(pair, receiverSide, ipv6, SOCK_STREAM));
    if (::listen(listener.get(), 1) != 0) {
        fail("listen");
    }
    const Socket sender(boundSocket(pair, senderSide, ipv6, SOCK_STREAM));
    const Address target = localAddress(listener.get());
    if (::connect(sender.get(), target.get(), target.length) != 0) {
        fail("connect");
    }
    const Socket receiver(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        static const std::vector<char> chunk(65536, 'v');
        pollfd entry{sender.get(), POLLOUT, 0};
        while (!stop) {
            if (::poll(&entry, 1, 50) > 0 &&
                ::send(sender.get(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
                errno != EAGAIN && errno != EINTR) {
                return;
            }
        }
    });

    std::vector<char> buffer(1 << 20);
    const auto start = Clock::now();
    const auto measureFrom = start + warmUp;
    const auto deadline = measureFrom + measure;
    long long measuredBytes = 0;
    Clock::time_point firstSample{};
    Clock::time_point lastSample{};
    while (Clock::now() < deadline) {
        if (!readable(receiver.get(), std::chrono::milliseconds(20))) {
            continue;
        }
        const ssize_t count = ::recv(receiver.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (count <= 0) {
            if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            break;
        }
        const auto now = Clock::now();
        if (now < measureFrom) {
            continue;
        }
        // The rate is measured between arrivals, not from an arbitrary start,
        // so a burst that happens to straddle the start does not skew it.
        if (firstSample == Clock::time_point{}) {
            firstSample = now;
        } else {
            measuredBytes += count;
        }
        lastSample = now;
    }
    stop = true;
    ::shutdown(sender.get(), SHUT_RDWR);
    ::shutdown(receiver.get(), SHUT_RDWR);
    writer.join();

    const double seconds = std::chrono::duration<double>(lastSample - firstSample).count();
    return seconds > 0 ? static_cast<double>(measuredBytes) * 8 / seconds : 0.0;
}

std::vector<double> udpRoundTripsMs(const NetnsPair& pair, bool ipv6, int count,
                                    std::chrono::milliseconds timeout) {
    const Socket echo(boundSocket(pair, Side::peer, ipv6, SOCK_DGRAM));
    const Socket client(boundSocket(pair, Side::shaped, ipv6, SOCK_DGRAM));
    const Address target = localAddress(echo.get());

    std::atomic<bool> stop{false};
    std::thread echoer([&] {
        char datagram[64];
        while (!stop) {
            if (!readable(echo.get(), std::chrono::milliseconds(20))) {
                continue;
            }
            sockaddr_storage from{};
            socklen_t fromLength = sizeof from;
            const ssize_t size = ::recvfrom(echo.get(), datagram, sizeof datagram, MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size > 0) {
                ::sendto(echo.get(), datagram, static_cast<size_t>(size), 0,
                         reinterpret_cast<sockaddr*>(&from), fromLength);
            }
        }
    });

    std::vector<double> roundTrips;
    for (int sequence = 0; sequence < count; ++sequence) {
        const auto sent = Clock::now();
        if (::sendto(client.get(), &sequence, sizeof sequence, 0, target.get(), target.length) <
            0) {
            continue;
        }
        // Late answers to earlier probes are skipped by their number.
        while (Clock::now() - sent < timeout) {
            // Never negative: poll() would take that as "wait for ever".
            const auto left = std::max(std::chrono::milliseconds(0),
                                       std::chrono::duration_cast<std::chrono::milliseconds>(
                                           timeout - (Clock::now() - sent)));
            int answer = -1;
            if (readable(client.get(), left) &&
                ::recv(client.get(), &answer, sizeof answer, MSG_DONTWAIT) ==
                    static_cast<ssize_t>(sizeof answer) &&
                answer == sequence) {
                roundTrips.push_back(millisecondsSince(sent));
                break;
            }
        }
    }
    stop = true;
    echoer.join();
    return roundTrips;
}

double udpLossPercent(const NetnsPair& pair, Direction direction, int count,
                      std::chrono::milliseconds settle) {
    const Side receiverSide = direction == Direction::download ? Side::shaped : Side::peer;
    const Side senderSide = direction == Direction::download ? Side::peer : Side::shaped;
    const Socket receiver(boundSocket(pair, receiverSide, false, SOCK_DGRAM));
    const Socket sender(boundSocket(pair, senderSide, false, SOCK_DGRAM));
    setBuffer(receiver.get(), SO_RCVBUF, 16 << 20);
    setBuffer(sender.get(), SO_SNDBUF, 4 << 20);
    const Address target = localAddress(receiver.get());

    std::atomic<bool> sendingDone{false};
    std::thread sending([&] {
        char datagram[200] = {};
        for (int i = 0; i < count; ++i) {
            ::sendto(sender.get(), datagram, sizeof datagram, 0, target.get(), target.length);
            // About 20,000 datagrams a second: fast enough to stay brief, slow
            // enough that no queue on the way overflows and adds loss of its own.
            if (i % 20 == 19) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        sendingDone = true;
    });

    int received = 0;
    char datagram[256];
    Clock::time_point settleFrom{};
    const auto hardDeadline = Clock::now() + std::chrono::seconds(30) + settle;
    while (Clock::now() < hardDeadline) {
        if (sendingDone && settleFrom == Clock::time_point{}) {
            settleFrom = Clock::now();
        }
        if (settleFrom != Clock::time_point{} && Clock::now() - settleFrom > settle) {
            break;
        }
        if (readable(receiver.get(), std::chrono::milliseconds(10))) {
            while (::recv(receiver.get(), datagram, sizeof datagram, MSG_DONTWAIT) > 0) {
                ++received;
            }
        }
    }
    sending.join();
    return 100.0 * (count - std::min(received, count)) / count;
}

} // namespace TrafficProbe
