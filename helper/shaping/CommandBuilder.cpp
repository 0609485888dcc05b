// SPDX-License-Identifier: MIT
#include "CommandBuilder.h"

#include "DecimalFormat.h"

std::vector<std::string> CommandBuilder::buildPipeConfigArguments(std::int64_t pipeNumber,
                                                                  std::int64_t bandwidthBytesPerSec,
                                                                  std::int64_t latencyMs,
                                                                  double packetLossPercent) {
    std::vector<std::string> arguments{"pipe", std::to_string(pipeNumber), "config"};
    if (bandwidthBytesPerSec > 0) {
        arguments.insert(arguments.end(), {"bw", std::to_string(bandwidthBytesPerSec) + "Byte/s"});
    }
    if (latencyMs > 0) {
        arguments.insert(arguments.end(), {"delay", std::to_string(latencyMs) + "ms"});
    }
    if (packetLossPercent > 0.0) {
        // dnctl takes the loss as a probability, not a percentage.
        arguments.insert(arguments.end(), {"plr", formatSixDecimals(packetLossPercent / 100.0)});
    }
    return arguments;
}
