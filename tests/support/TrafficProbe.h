// SPDX-License-Identifier: MIT
#pragma once

#include "NetnsPair.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Measures real TCP and UDP traffic between the two sides of a NetnsPair.
// Every measurement is bounded in time and stops by itself.
namespace TrafficProbe {

// Which way the traffic flows: towards the shaped side is what that machine
// downloads, away from it what it uploads.
enum class Direction { download, upload };

// The probes below talk to the peer's own address, or to `peerAddress`, another
// address the peer side was given.

// TCP payload per second, in bits, that reaches the receiver over `measure`
// after `warmUp` has let the connection leave slow start.
double tcpGoodputBitsPerSecond(const NetnsPair& pair, Direction direction, bool ipv6,
                               std::chrono::milliseconds warmUp, std::chrono::milliseconds measure,
                               const char* peerAddress = nullptr);

// The shortest round trip in milliseconds of `count` UDP probes sent one
// after the other from the shaped side to an echo on the peer; a probe
// without an answer within `timeout` is left out, and NaN means none came.
double minimumRoundTripMs(const NetnsPair& pair, bool ipv6, int count,
                          std::chrono::milliseconds timeout, const char* peerAddress = nullptr);

// The shortest one-way delay in milliseconds of `count` UDP probes sent one
// after the other in `direction`. Both sides share one kernel, and so one
// clock: each way is measured on its own. NaN means no probe arrived.
double minimumOneWayMs(const NetnsPair& pair, Direction direction, bool ipv6, int count,
                       std::chrono::milliseconds timeout, const char* peerAddress = nullptr);

// Percentage of `count` UDP datagrams that never arrive, sent at a steady pace
// and counted until `settle` after the last one left.
double udpLossPercent(const NetnsPair& pair, Direction direction, bool ipv6, int count,
                      std::chrono::milliseconds settle);

// The numbers of `count` numbered UDP datagrams, sent as udpLossPercent
// sends them, in the order they arrive until `settle` after the last one
// left: a number missing was lost, one twice was duplicated, one before a
// smaller number overtook it.
std::vector<std::uint32_t> udpArrivalOrder(const NetnsPair& pair, Direction direction, bool ipv6,
                                           int count, std::chrono::milliseconds settle);

// The round trips in milliseconds of `count` UDP probes from the shaped side
// to an echo on the peer, one every `spacing` whatever the answers do, in the
// order the answers come; a probe without an answer within `timeout` of the
// last one is left out.
std::vector<double> udpRoundTripsMs(const NetnsPair& pair, bool ipv6, int count,
                                    std::chrono::milliseconds spacing,
                                    std::chrono::milliseconds timeout);

// What a process measures of its own traffic to `peerAddress` when it joined
// the cgroup at `cgroupFolder` before its first packet: its first round
// trip and its goodput each way; and what a sibling outside that cgroup
// downloads from the same address meanwhile. Each goodput as
// tcpGoodputBitsPerSecond measures it; nullopt when the process could not
// join the cgroup or did not report.
struct CgroupFigures {
    double firstRoundTripMs;
    double download;
    double upload;
    double siblingDownload;
};
std::optional<CgroupFigures> inCgroupBesideSibling(const NetnsPair& pair,
                                                   const std::string& cgroupFolder,
                                                   const char* peerAddress,
                                                   std::chrono::milliseconds warmUp,
                                                   std::chrono::milliseconds measure);

} // namespace TrafficProbe
