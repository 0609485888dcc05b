// SPDX-License-Identifier: MIT
#include "TrafficProbe.h"

#include "NetnsSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace TrafficProbe {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Side = NetnsPair::Side;

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

using Socket = NetnsSocket;

// Reads datagrams until the one numbered `number`, skipping late answers to
// earlier ones; false when nothing more comes within the receive time-out.
bool receiveNumber(const Socket& socket, int number) {
    int received = -1;
    while (::recv(socket.fd, &received, sizeof received, 0) > 0) {
        if (received == number) {
            return true;
        }
    }
    return false;
}

// Segments the receiver has acknowledged, selectively or not, by a moment.
struct Delivery {
    Clock::time_point when;
    std::uint32_t segments;
    std::uint32_t segmentBytes;
};

Delivery delivery(const Socket& sender) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(sender.fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        fail("TCP_INFO");
    }
    return {Clock::now(), info.tcpi_delivered, info.tcpi_snd_mss};
}

} // namespace

double tcpGoodputBitsPerSecond(const NetnsPair& pair, Direction direction, bool ipv6,
                               std::chrono::milliseconds warmUp, std::chrono::milliseconds measure,
                               const char* peerAddress) {
    const bool down = direction == Direction::download;
    const Socket listener(pair, down ? Side::shaped : Side::peer, ipv6, SOCK_STREAM, peerAddress);
    const Socket sender(pair, down ? Side::peer : Side::shaped, ipv6, SOCK_STREAM, peerAddress);
    if (::listen(listener.fd, 1) != 0) {
        fail("listen");
    }
    sender.connectTo(listener);
    const Socket receiver(::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
    receiver.setReceiveTimeout(100ms);

    // Blocking sends until the shutdown below wakes the writer with an error.
    std::thread writer([&] {
        static const std::vector<char> chunk(65536, 'v');
        while (::send(sender.fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
    });
    // Counted as the sender learns of it, not as the receiver reads: after a
    // loss the receiver gets a whole window's worth at once when the gap
    // closes, which would count data that crossed the link before the start.
    std::vector<char> buffer(1 << 20);
    const auto measureFrom = Clock::now() + warmUp;
    std::optional<Delivery> first;
    Delivery last{};
    while (Clock::now() < measureFrom + measure) {
        const ssize_t count = ::recv(receiver.fd, buffer.data(), buffer.size(), 0);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
            break;
        }
        if (Clock::now() >= measureFrom) {
            last = delivery(sender);
            first = first.value_or(last);
        }
    }
    ::shutdown(sender.fd, SHUT_RDWR);
    writer.join();
    const double seconds =
        first ? std::chrono::duration<double>(last.when - first->when).count() : 0;
    return seconds > 0 ? static_cast<double>(last.segments - first->segments) * last.segmentBytes *
                             8 / seconds
                       : 0.0;
}

double minimumRoundTripMs(const NetnsPair& pair, bool ipv6, int count,
                          std::chrono::milliseconds timeout, const char* peerAddress) {
    const Socket echo(pair, Side::peer, ipv6, SOCK_DGRAM, peerAddress);
    const Socket client(pair, Side::shaped, ipv6, SOCK_DGRAM);
    echo.setReceiveTimeout(timeout);
    client.setReceiveTimeout(timeout);
    client.connectTo(echo);
    echo.connectTo(client);
    double shortest = std::nan("");
    // One probe in flight at a time, so this thread can be the echo too.
    for (int number = 0; number < count; ++number) {
        const auto sent = Clock::now();
        if (::send(client.fd, &number, sizeof number, 0) > 0 && receiveNumber(echo, number) &&
            ::send(echo.fd, &number, sizeof number, 0) > 0 && receiveNumber(client, number) &&
            Clock::now() - sent < timeout) {
            shortest = std::fmin(
                shortest, std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        }
    }
    return shortest;
}

double minimumOneWayMs(const NetnsPair& pair, Direction direction, bool ipv6, int count,
                       std::chrono::milliseconds timeout, const char* peerAddress) {
    const bool down = direction == Direction::download;
    const Socket receiver(pair, down ? Side::shaped : Side::peer, ipv6, SOCK_DGRAM, peerAddress);
    const Socket sender(pair, down ? Side::peer : Side::shaped, ipv6, SOCK_DGRAM, peerAddress);
    receiver.setReceiveTimeout(timeout);
    sender.connectTo(receiver);
    double shortest = std::nan("");
    // Timed here, not by the kernel's receive stamps: after netem those came
    // out tens of milliseconds off.
    for (int number = 0; number < count; ++number) {
        const auto sent = Clock::now();
        if (::send(sender.fd, &number, sizeof number, 0) > 0 && receiveNumber(receiver, number)) {
            shortest = std::fmin(
                shortest, std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        }
    }
    return shortest;
}

double udpLossPercent(const NetnsPair& pair, Direction direction, bool ipv6, int count,
                      std::chrono::milliseconds settle) {
    std::vector<std::uint32_t> numbers = udpArrivalOrder(pair, direction, ipv6, count, settle);
    std::sort(numbers.begin(), numbers.end());
    const auto received = std::unique(numbers.begin(), numbers.end()) - numbers.begin();
    return 100.0 * static_cast<double>(count - received) / count;
}

std::vector<std::uint32_t> udpArrivalOrder(const NetnsPair& pair, Direction direction, bool ipv6,
                                           int count, std::chrono::milliseconds settle) {
    const bool down = direction == Direction::download;
    const Socket receiver(pair, down ? Side::shaped : Side::peer, ipv6, SOCK_DGRAM);
    const Socket sender(pair, down ? Side::peer : Side::shaped, ipv6, SOCK_DGRAM);
    // Every datagram waits in the receive buffer until the count: far more
    // than the system maximum, which only root (as for the namespaces) lifts.
    const int bufferBytes = 64 << 20;
    ::setsockopt(receiver.fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes);
    sender.connectTo(receiver);
    std::uint32_t datagram[50] = {};
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        datagram[0] = static_cast<std::uint32_t>(i);
        ::send(sender.fd, datagram, sizeof datagram, 0);
        // About 20,000 datagrams a second: fast enough to stay brief, slow
        // enough that no queue on the way overflows and adds loss of its own.
        // On a schedule, since a guest's timer oversleeps a millisecond
        // several times over.
        if (i % 20 == 19) {
            std::this_thread::sleep_until(start + (i + 1) / 20 * 1ms);
        }
    }
    std::this_thread::sleep_for(settle);
    std::vector<std::uint32_t> numbers;
    while (::recv(receiver.fd, datagram, sizeof datagram, MSG_DONTWAIT) > 0) {
        numbers.push_back(datagram[0]);
    }
    return numbers;
}

std::vector<double> udpRoundTripsMs(const NetnsPair& pair, bool ipv6, int count,
                                    std::chrono::milliseconds spacing,
                                    std::chrono::milliseconds timeout) {
    const Socket echo(pair, Side::peer, ipv6, SOCK_DGRAM);
    const Socket client(pair, Side::shaped, ipv6, SOCK_DGRAM);
    client.setReceiveTimeout(timeout);
    client.connectTo(echo);
    echo.connectTo(client);
    // Each probe carries the moment it left, so no table is shared between
    // the threads; one clock serves both namespaces.
    using Stamp = Clock::rep;
    // Ends when the shutdown below makes its receive return nothing.
    std::thread echoer([&] {
        Stamp stamp = 0;
        while (::recv(echo.fd, &stamp, sizeof stamp, 0) == sizeof stamp) {
            ::send(echo.fd, &stamp, sizeof stamp, 0);
        }
    });
    // Paced by its own schedule, so a slow answer delays no later probe.
    std::thread sender([&] {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const Stamp stamp = Clock::now().time_since_epoch().count();
            ::send(client.fd, &stamp, sizeof stamp, 0);
            std::this_thread::sleep_until(start + (i + 1) * spacing);
        }
    });
    std::vector<double> trips;
    Stamp stamp = 0;
    while (static_cast<int>(trips.size()) < count &&
           ::recv(client.fd, &stamp, sizeof stamp, 0) == sizeof stamp) {
        const Clock::duration trip = Clock::now().time_since_epoch() - Clock::duration(stamp);
        trips.push_back(std::chrono::duration<double, std::milli>(trip).count());
    }
    sender.join();
    ::shutdown(echo.fd, SHUT_RDWR);
    echoer.join();
    return trips;
}

std::optional<CgroupFigures> inCgroupBesideSibling(const NetnsPair& pair,
                                                   const std::string& cgroupFolder,
                                                   const char* peerAddress,
                                                   std::chrono::milliseconds warmUp,
                                                   std::chrono::milliseconds measure) {
    const auto goodput = [&](Direction direction) {
        return tcpGoodputBitsPerSecond(pair, direction, false, warmUp, measure, peerAddress);
    };
    int report[2];
    if (::pipe(report) != 0) {
        fail("pipe");
    }
    const pid_t process = ::fork();
    if (process == 0) {
        ::close(report[0]);
        const int procs = ::open((cgroupFolder + "/cgroup.procs").c_str(), O_WRONLY);
        if (procs < 0 || ::write(procs, "0", 1) != 1) {
            ::_exit(1);
        }
        const double figures[] = {minimumRoundTripMs(pair, false, 1, 1000ms, peerAddress),
                                  goodput(Direction::download), goodput(Direction::upload)};
        ::_exit(::write(report[1], figures, sizeof figures) == sizeof figures ? 0 : 1);
    }
    ::close(report[1]);
    if (process < 0) {
        ::close(report[0]);
        fail("fork");
    }
    const double sibling = goodput(Direction::download);
    double figures[3] = {};
    const bool reported = ::read(report[0], figures, sizeof figures) == sizeof figures;
    ::close(report[0]);
    ::waitpid(process, nullptr, 0);
    if (!reported) {
        return std::nullopt;
    }
    return CgroupFigures{figures[0], figures[1], figures[2], sibling};
}

} // namespace TrafficProbe
