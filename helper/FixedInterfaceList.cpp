// SPDX-License-Identifier: MIT
#include "FixedInterfaceList.h"

#include "InterfaceName.h"

#include <stdexcept>

FixedInterfaceList::FixedInterfaceList(std::vector<std::string> names)
    : m_names(std::move(names)) {
    for (const auto& name : m_names) {
        if (!isUsableInterfaceName(name)) {
            throw std::invalid_argument("Invalid interface name: \"" + name + "\"");
        }
    }
}

std::vector<std::string> FixedInterfaceList::parseNames(std::string_view commaSeparated) {
    std::vector<std::string> names;
    for (;;) {
        const size_t comma = commaSeparated.find(',');
        names.emplace_back(commaSeparated.substr(0, comma));
        if (!isUsableInterfaceName(names.back())) {
            throw std::invalid_argument("Invalid interface name: \"" + names.back() + "\"");
        }
        if (comma == std::string_view::npos) {
            return names;
        }
        commaSeparated.remove_prefix(comma + 1);
    }
}

std::vector<NetworkInterface> FixedInterfaceList::interfaces() const noexcept {
    std::vector<NetworkInterface> result;
    try {
        for (const auto& name : m_names) {
            result.push_back({name, true, false});
        }
    } catch (...) {
        result.clear();
    }
    return result;
}
