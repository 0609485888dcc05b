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
