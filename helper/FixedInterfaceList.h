// SPDX-License-Identifier: MIT
#pragma once

#include "InterfaceList.h"

#include <string>
#include <string_view>
#include <vector>

// A list chosen up front, every entry up and not loopback: for tests and for
// the sandbox daemon, which must never shape the machine's real interfaces.
class FixedInterfaceList final : public InterfaceList {
public:
    explicit FixedInterfaceList(std::vector<std::string> names);

    // Splits "eth0,wlan0" into names. Throws std::invalid_argument naming the
    // first entry that is not a usable interface name.
    static std::vector<std::string> parseNames(std::string_view commaSeparated);

    std::vector<NetworkInterface> interfaces() const noexcept override;

private:
    std::vector<std::string> m_names;
};
