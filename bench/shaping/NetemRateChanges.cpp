// SPDX-License-Identifier: MIT
#include "NetemRateChanges.h"

#include "NetnsPair.h"
#include "TimedTraffic.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <linux/pkt_sched.h>
#include <linux/rtnetlink.h>
#include <optional>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int listenerIn(const NetnsPair& pair) {
    int fd = -1;
    {
        const NetnsScope scope(pair.fd(NetnsPair::Side::shaped));
        fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_TC;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const std::string why = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error("cannot listen to traffic control's changes: " + why);
    }
    // Ten changes a second for ten minutes must not overrun it.
    const int buffer = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    const timeval timeout{0, 50'000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return fd;
}

// netem's options: its fixed structure, then attributes, the rate among
// them (the 64-bit one beside it when the rate does not fit 32 bits).
std::optional<std::uint64_t> netemRate(const rtattr* options) {
    const auto* start = static_cast<const char*>(RTA_DATA(options));
    const auto fixed = RTA_ALIGN(sizeof(tc_netem_qopt));
    if (RTA_PAYLOAD(options) < fixed) {
        return std::nullopt;
    }
    int length = static_cast<int>(RTA_PAYLOAD(options) - fixed);
    std::optional<std::uint64_t> rate;
    for (const auto* attribute = reinterpret_cast<const rtattr*>(start + fixed);
         RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == TCA_NETEM_RATE64 && RTA_PAYLOAD(attribute) >= 8) {
            std::uint64_t wide = 0;
            std::memcpy(&wide, RTA_DATA(attribute), sizeof wide);
            return wide;
        }
        if (attribute->rta_type == TCA_NETEM_RATE &&
            RTA_PAYLOAD(attribute) >= sizeof(tc_netem_rate)) {
            tc_netem_rate narrow{};
            std::memcpy(&narrow, RTA_DATA(attribute), sizeof narrow);
            rate = narrow.rate;
        }
    }
    return rate;
}

} // namespace

NetemRateChanges::NetemRateChanges(const NetnsPair& pair)
    : m_socket(listenerIn(pair))
    , m_thread([this] { listen(); }) {}

NetemRateChanges::~NetemRateChanges() {
    m_stop = true;
    m_thread.join();
    ::close(m_socket);
}

std::vector<ScheduleFigures::RateChange> NetemRateChanges::heard(double originMs) const {
    const std::lock_guard lock(m_mutex);
    std::vector<ScheduleFigures::RateChange> shifted = m_heard;
    for (auto& change : shifted) {
        change.atMs -= originMs;
    }
    return shifted;
}

void NetemRateChanges::listen() {
    const sched_param priority{.sched_priority = 20};
    m_realTime = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority) == 0;
    std::vector<char> buffer(1 << 16);
    while (!m_stop) {
        const ssize_t length = ::recv(m_socket, buffer.data(), buffer.size(), 0);
        const double atMs = TimedTraffic::wallMs();
        if (length > 0) {
            take(buffer.data(), static_cast<std::size_t>(length), atMs);
        }
    }
}

void NetemRateChanges::take(const char* messages, std::size_t length, double atMs) {
    auto remaining = static_cast<unsigned>(length);
    for (const auto* header = reinterpret_cast<const nlmsghdr*>(messages);
         NLMSG_OK(header, remaining); header = NLMSG_NEXT(header, remaining)) {
        if (header->nlmsg_type != RTM_NEWQDISC || header->nlmsg_len < NLMSG_LENGTH(sizeof(tcmsg))) {
            continue;
        }
        const auto* message = static_cast<const tcmsg*>(NLMSG_DATA(header));
        int attributes = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof(tcmsg)));
        bool netem = false;
        const rtattr* options = nullptr;
        for (const auto* attribute = reinterpret_cast<const rtattr*>(
                 reinterpret_cast<const char*>(message) + NLMSG_ALIGN(sizeof(tcmsg)));
             RTA_OK(attribute, attributes); attribute = RTA_NEXT(attribute, attributes)) {
            if (attribute->rta_type == TCA_KIND) {
                netem = std::strcmp(static_cast<const char*>(RTA_DATA(attribute)), "netem") == 0;
            } else if (attribute->rta_type == TCA_OPTIONS) {
                options = attribute;
            }
        }
        const std::optional<std::uint64_t> rate =
            netem && options != nullptr ? netemRate(options) : std::nullopt;
        if (rate) {
            const std::lock_guard lock(m_mutex);
            m_heard.push_back({atMs, *rate});
        }
    }
}
