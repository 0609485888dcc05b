// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The outcome of one tool run.
struct CommandResult {
    std::string output;
    std::string error;
    std::int32_t exitCode = 0;

    // Standard output, then standard error, with a line feed between them only
    // when both have text; this is what failure messages quote.
    std::string combinedOutput() const {
        if (output.empty()) {
            return error;
        }
        if (error.empty()) {
            return output;
        }
        return output + "\n" + error;
    }

    bool operator==(const CommandResult&) const = default;
};
