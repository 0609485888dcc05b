// SPDX-License-Identifier: MIT
#include "InterfaceName.h"
#include "Uplinks.h"

#include <stdexcept>

namespace {

void checkName(const std::string& name) {
    if (!isUsableInterfaceName(name)) {
        throw std::invalid_argument("Invalid interface name: \"" + name + "\"");
    }
}

} // namespace

FixedUplinks::FixedUplinks(std::vector<std::string> names)
    : m_names(std::move(names)) {
    for (const auto& name : m_names) {
        checkName(name);
    }
}

std::vector<std::string> FixedUplinks::parseNames(std::string_view commaSeparated) {
    std::vector<std::string> names;
    for (;;) {
        const size_t comma = commaSeparated.find(',');
        checkName(names.emplace_back(commaSeparated.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return names;
        }
        commaSeparated.remove_prefix(comma + 1);
    }
}

std::vector<Uplink> FixedUplinks::uplinks() const {
    std::vector<Uplink> result;
    for (const auto& name : m_names) {
        result.push_back({name, 0});
    }
    return result;
}
