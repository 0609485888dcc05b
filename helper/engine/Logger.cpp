// SPDX-License-Identifier: MIT
#include "Logger.h"

#include "FileDescriptor.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <syslog.h>
#include <system_error>

namespace {

// systemd names the stream it connected to the journal in JOURNAL_STREAM
// ("device:inode"); when the output is that stream, the system log, which
// ends in the same journal, would only repeat every line.
bool isJournalStream(int fd) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    unsigned long long device = 0;
    unsigned long long inode = 0;
    return stream != nullptr && fstat(fd, &status) == 0 &&
           std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && device == status.st_dev &&
           inode == status.st_ino;
}

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[32];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(buffer, length);
}

} // namespace

Logger::Logger(int outputFd, bool toSystemLog)
    : m_outputFd(outputFd)
    , m_toSystemLog(toSystemLog && !isJournalStream(outputFd)) {}

void Logger::log(std::string_view message) const noexcept {
    try {
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + string
        // for an overlapping copy and warns (-Wrestrict), wrongly.
        std::string line = "[";
        line.append(utcTimestamp()).append("] VeltraneHelper: ").append(message).push_back('\n');
        // One write per line, so lines logged from several threads never mix.
        try {
            writeAll(m_outputFd, line);
        } catch (const std::system_error&) {
            // A closed or full standard output must not cost the system log
            // its copy.
        }
        if (m_toSystemLog) {
            line.pop_back();
            syslog(LOG_DAEMON | LOG_NOTICE, "%s", line.c_str());
        }
    } catch (...) {
        // Logging must never take the daemon down; a line lost to an
        // allocation failure is the lesser harm.
    }
}
