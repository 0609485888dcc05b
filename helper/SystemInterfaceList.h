// SPDX-License-Identifier: MIT
#pragma once

#include "InterfaceList.h"

// The interfaces of the network namespace the calling thread is in, as the
// operating system reports them.
class SystemInterfaceList final : public InterfaceList {
public:
    std::vector<NetworkInterface> interfaces() const noexcept override;
};
