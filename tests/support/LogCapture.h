// SPDX-License-Identifier: MIT
#pragma once

#include "Logger.h"

#include <string>
#include <vector>

// A Logger whose lines land in a temporary file instead of stdout and the
// system log, read back as the messages without their time stamps.
class LogCapture final {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const Logger& logger() const { return m_logger; }
    std::string text() const;
    // Messages may span several lines (tool output often does).
    std::vector<std::string> messages() const;

private:
    int m_fd;
    Logger m_logger;
};
