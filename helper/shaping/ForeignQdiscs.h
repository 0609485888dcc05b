// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

class KernelDevices;

// Finds another program's qdiscs on an interface. Shaping adds a root and an
// ingress qdisc, which would replace that program's: such an interface is
// left alone.
class ForeignQdiscs final {
public:
    explicit ForeignQdiscs(const KernelDevices& devices);

    // Why `interface` cannot be shaped, naming the qdisc another program put
    // there; nothing when it carries none. Throws commandFailed when its
    // qdiscs cannot be read, and the runner's errors.
    std::optional<std::string> refusal(const std::string& interface) const;

private:
    const KernelDevices& m_devices;
};
