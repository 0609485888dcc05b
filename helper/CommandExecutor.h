// SPDX-License-Identifier: MIT
#pragma once

#include "CommandResult.h"

#include <string>
#include <vector>

class Logger;

// Runs one external program synchronously, by absolute path and argument list
// (never through a shell), and captures what it writes.
class CommandExecutor final {
public:
    explicit CommandExecutor(const Logger& logger);

    // Throws std::system_error, whose what() is the OS's description, when the
    // program cannot be started. A non-zero exit status is not an error here.
    CommandResult execute(const std::string& executablePath,
                          const std::vector<std::string>& arguments) const;

    void executeIgnoringErrors(const std::string& executablePath,
                               const std::vector<std::string>& arguments) const noexcept;

private:
    const Logger& m_logger;
};
