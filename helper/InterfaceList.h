// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

struct NetworkInterface {
    std::string name;
    bool isUp = false;
    bool isLoopback = false;

    bool operator==(const NetworkInterface&) const = default;
};

// Where the traffic-control backend learns which interfaces exist. Read anew
// on every enable and clean-up, since interfaces come and go while the daemon
// runs.
class InterfaceList {
public:
    virtual ~InterfaceList() = default;

    // Every interface, up or down, in a stable order. Never throws: an
    // interface list that cannot be read is an empty one.
    virtual std::vector<NetworkInterface> interfaces() const noexcept = 0;
};
