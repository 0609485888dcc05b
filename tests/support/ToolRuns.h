// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// Expected tool runs are built from shared pieces: the clean-up, then the
// steps of an enable.
inline std::vector<std::string> concat(std::vector<std::string> first,
                                       const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The runs that configure a dummynet pipe: the limits a profile became, in
// the engine's units, whatever steps the engine takes around them.
inline std::vector<std::string> pipeConfigurations(const std::vector<std::string>& runs) {
    std::vector<std::string> configurations;
    for (const std::string& run : runs) {
        if (run.starts_with("dnctl pipe ") && run.find(" config ") != std::string::npos) {
            configurations.push_back(run);
        }
    }
    return configurations;
}
