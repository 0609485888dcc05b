// SPDX-License-Identifier: MIT
#pragma once

#include "NetnsPair.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

// A test with a pair of network namespaces of its own; it skips, saying why,
// where they cannot be made. A fixture that adds to SetUp calls this one
// first and returns when it skipped.
class NetnsTest : public testing::Test {
protected:
    void SetUp() override {
        try {
            pair.emplace();
        } catch (const std::exception& error) {
            GTEST_SKIP() << "cannot make private network namespaces: " << error.what();
        }
    }

    // Every qdisc, class and filter of the shaped side and its links, less
    // what changes by itself: the count of packets an HTB root sent
    // unclassified (the kernel's own IPv6 neighbour discovery may pass one at
    // any moment), and the index and address of a device made anew.
    std::string shapedState() {
        std::string state;
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"qdisc", "show"},
              {"class", "show", "dev", "vt0"},
              {"filter", "show", "dev", "vt0"},
              {"filter", "show", "dev", "vt0", "ingress"}}) {
            state += pair->run(NetnsPair::Side::shaped, "/usr/sbin/tc", arguments);
        }
        state += pair->run(NetnsPair::Side::shaped, "/usr/sbin/ip", {"-o", "link", "show"});
        state = std::regex_replace(state, std::regex("direct_packets_stat [0-9]+"), "-");
        return std::regex_replace(state, std::regex("(^|\n)[0-9]+:|link/ether [0-9a-f:]+"), "$1-");
    }

    std::optional<NetnsPair> pair;
};
