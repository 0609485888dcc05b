// SPDX-License-Identifier: MIT
#include "TimedTraffic.h"

#include "NetnsPair.h"
#include "NetnsSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using ScheduleFigures::Arrival;
using ScheduleFigures::Probe;
using Side = NetnsPair::Side;

namespace {

// A full Ethernet frame's UDP payload: 1514 - 14 - 20 - 8.
constexpr std::size_t kFramePayload = 1472;
constexpr std::int64_t kFrameBytes = 1514;

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

using Socket = NetnsSocket;

// Data segments that reached `socket`, in order or not. What reads hand
// over says less of when data crossed the link: after a loss they give a
// round trip's worth or more at once, when the gap closes.
std::uint32_t dataSegmentsIn(const Socket& socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(socket.fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        fail("TCP_INFO");
    }
    return info.tcpi_data_segs_in;
}

// Numbered probes on `socket` until `untilMs`: which of `count` arrived.
std::vector<bool> probesReceived(const Socket& socket, std::size_t count, double untilMs) {
    std::vector<bool> arrived(count, false);
    socket.setReceiveTimeout(20ms);
    while (TimedTraffic::wallMs() < untilMs) {
        std::uint32_t number = 0;
        if (::recv(socket.fd, &number, sizeof number, 0) == sizeof number && number < count) {
            arrived[number] = true;
        }
    }
    return arrived;
}

} // namespace

namespace TimedTraffic {

double wallMs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
}

void sleepUntil(double ms) {
    const double left = ms - wallMs();
    if (left > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(left * 1000)));
    }
}

std::vector<Arrival> tcpDownload(const NetnsPair& pair, double originMs, double untilMs) {
    const Socket listener(pair, Side::shaped, false, SOCK_STREAM);
    const Socket sender(pair, Side::peer, false, SOCK_STREAM);
    if (::listen(listener.fd, 1) != 0) {
        fail("listen");
    }
    sender.connectTo(listener);
    const Socket receiver(::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
    // Blocking sends until the shutdown below wakes the writer with an error.
    std::thread writer([&] {
        static const std::vector<char> chunk(65536, 'v');
        while (::send(sender.fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
    });
    std::vector<char> buffer(1 << 20);
    std::vector<Arrival> arrivals;
    std::uint32_t counted = dataSegmentsIn(receiver);
    while (wallMs() < untilMs) {
        while (::recv(receiver.fd, buffer.data(), buffer.size(), MSG_DONTWAIT) > 0) {
        }
        const std::uint32_t segments = dataSegmentsIn(receiver);
        arrivals.push_back({wallMs() - originMs, std::int64_t(segments - counted) * kFrameBytes});
        counted = segments;
        std::this_thread::sleep_for(5ms);
    }
    ::shutdown(sender.fd, SHUT_RDWR);
    writer.join();
    return arrivals;
}

std::vector<Arrival> udpDownload(const NetnsPair& pair, double bitsPerSecond, double originMs,
                                 double untilMs) {
    const Socket receiver(pair, Side::shaped, false, SOCK_DGRAM);
    const Socket sender(pair, Side::peer, false, SOCK_DGRAM);
    sender.connectTo(receiver);
    receiver.setReceiveTimeout(100ms);
    const int buffer = 4 << 20;
    ::setsockopt(receiver.fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    // Frames due by the clock, a millisecond's worth at a time: a sleep
    // that overran is made up at once.
    std::thread paced([&] {
        const std::vector<char> frame(kFramePayload, 'v');
        const double startMs = wallMs();
        const double framesPerMs = bitsPerSecond / (kFrameBytes * 8) / 1000;
        long sent = 0;
        for (double now = startMs; now < untilMs; now = wallMs()) {
            for (const auto due = static_cast<long>((now - startMs) * framesPerMs); sent < due;
                 ++sent) {
                ::send(sender.fd, frame.data(), frame.size(), 0);
            }
            std::this_thread::sleep_for(1ms);
        }
    });
    std::vector<char> frame(kFramePayload);
    std::vector<Arrival> arrivals;
    for (double now = wallMs(); now < untilMs; now = wallMs()) {
        if (::recv(receiver.fd, frame.data(), frame.size(), 0) > 0) {
            arrivals.push_back({wallMs() - originMs, kFrameBytes});
        }
    }
    paced.join();
    return arrivals;
}

ProbesBothWays probes(const NetnsPair& pair, std::chrono::milliseconds spacing, double originMs,
                      double untilMs, std::chrono::milliseconds settle) {
    const Socket downReceiver(pair, Side::shaped, false, SOCK_DGRAM);
    const Socket downSender(pair, Side::peer, false, SOCK_DGRAM);
    const Socket upReceiver(pair, Side::peer, false, SOCK_DGRAM);
    const Socket upSender(pair, Side::shaped, false, SOCK_DGRAM);
    downSender.connectTo(downReceiver);
    upSender.connectTo(upReceiver);
    const double startMs = wallMs();
    const auto count = static_cast<std::size_t>((untilMs - startMs) / double(spacing.count())) + 1;
    const double receiveUntil = untilMs + double(settle.count());
    std::vector<bool> downArrived;
    std::vector<bool> upArrived;
    std::thread down([&] { downArrived = probesReceived(downReceiver, count, receiveUntil); });
    std::thread up([&] { upArrived = probesReceived(upReceiver, count, receiveUntil); });
    std::vector<double> sentMs;
    for (std::uint32_t number = 0; number < count; ++number) {
        sleepUntil(startMs + double(number * spacing.count()));
        sentMs.push_back(wallMs() - originMs);
        ::send(downSender.fd, &number, sizeof number, 0);
        ::send(upSender.fd, &number, sizeof number, 0);
    }
    down.join();
    up.join();
    ProbesBothWays result;
    for (std::size_t i = 0; i < count; ++i) {
        result.download.push_back({sentMs[i], downArrived[i]});
        result.upload.push_back({sentMs[i], upArrived[i]});
    }
    return result;
}

} // namespace TimedTraffic
