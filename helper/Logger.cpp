// SPDX-License-Identifier: MIT
#include "Logger.h"

#include <cerrno>
#include <ctime>
#include <string>
#include <syslog.h>
#include <unistd.h>

namespace {

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[32];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(buffer, length);
}

void writeAll(int fd, std::string_view text) noexcept {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
}

} // namespace

Logger::Logger(int outputFd, bool toSystemLog)
    : m_outputFd(outputFd)
    , m_toSystemLog(toSystemLog) {}

void Logger::log(std::string_view message) const noexcept {
    try {
        std::string line = "[" + utcTimestamp() + "] VeltraneHelper: ";
        line.append(message);
        line.push_back('\n');
        // One write per line, so lines logged from several threads never mix.
        writeAll(m_outputFd, line);
        if (m_toSystemLog) {
            line.pop_back();
            syslog(LOG_DAEMON | LOG_NOTICE, "%s", line.c_str());
        }
    } catch (...) {
        // Logging must never take the daemon down; a line lost to an
        // allocation failure is the lesser harm.
    }
}
