// SPDX-License-Identifier: MIT
#include "ForeignQdiscs.h"

#include "TrafficControlTools.h"

#include <sstream>

ForeignQdiscs::ForeignQdiscs(const TrafficControlTools& tools)
    : m_tools(tools) {}

std::optional<std::string> ForeignQdiscs::refusal(const std::string& interface) const {
    const std::string shown = m_tools.run({TrafficControlStep::Tool::tc,
                                           {"qdisc", "show", "dev", interface},
                                           "Failed to read the qdiscs of " + interface + ": "});
    // "qdisc <kind> <handle> root ..." or "qdisc <kind> <handle> parent ...".
    // The kernel's own root qdiscs have handle 0:; one added by a program has
    // another. An ingress or clsact qdisc is always someone's.
    std::istringstream lines(shown);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, kind, handle, position;
        if (!(words >> word >> kind >> handle >> position) || word != "qdisc") {
            continue;
        }
        if ((position == "root" && handle != "0:") || kind == "ingress" || kind == "clsact") {
            return "Cannot shape " + interface + ": it carries another program's qdisc (" + kind +
                   " " + handle + (position == "root" ? " root" : " ingress") + ")";
        }
    }
    return std::nullopt;
}
