// SPDX-License-Identifier: MIT
#pragma once

#include "NetnsPair.h"

#include <chrono>

// A socket of one side of a namespace pair, for the probes of the tests and
// the benches that send real traffic through real shaping. Throws
// std::runtime_error naming the call that failed.
class NetnsSocket final {
public:
    using Side = NetnsPair::Side;

    explicit NetnsSocket(int fd);
    // Made inside `side`'s namespace, where it stays whichever thread uses it
    // later, and bound to that side's address on a port the kernel picks.
    NetnsSocket(const NetnsPair& pair, Side side, bool ipv6, int type,
                const char* peerAddress = nullptr);
    NetnsSocket(const NetnsSocket&) = delete;
    NetnsSocket& operator=(const NetnsSocket&) = delete;
    ~NetnsSocket();

    // To the address `other` is bound to.
    void connectTo(const NetnsSocket& other) const;
    // Zero would mean no time-out at all.
    void setReceiveTimeout(std::chrono::milliseconds timeout) const;

    const int fd;
};
