// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds the argument lists of dnctl runs.
class CommandBuilder final {
public:
    CommandBuilder() = delete;

    // Options are left out when their value is zero, so an all-zero pipe
    // passes traffic unlimited.
    static std::vector<std::string> buildPipeConfigArguments(std::int64_t pipeNumber,
                                                             std::int64_t bandwidthBytesPerSec,
                                                             std::int64_t latencyMs,
                                                             double packetLossPercent);
};
