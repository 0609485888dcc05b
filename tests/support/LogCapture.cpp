// SPDX-License-Identifier: MIT
#include "LogCapture.h"

#include <regex>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

LogCapture::LogCapture()
    : m_fd(::memfd_create("veltrane-log", MFD_CLOEXEC))
    , m_logger(m_fd, false) {
    if (m_fd < 0) {
        throw std::runtime_error("memfd_create failed");
    }
}

LogCapture::~LogCapture() {
    ::close(m_fd);
}

std::string LogCapture::text() const {
    std::string contents;
    char buffer[65536];
    off_t offset = 0;
    ssize_t count = 0;
    while ((count = ::pread(m_fd, buffer, sizeof buffer, offset)) > 0) {
        contents.append(buffer, static_cast<size_t>(count));
        offset += count;
    }
    return contents;
}

std::vector<std::string> LogCapture::messages() const {
    static const std::regex linePrefix(R"(\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] VeltraneHelper: )");
    const std::string contents = text();
    std::vector<std::string> result;
    std::sregex_token_iterator it(contents.begin(), contents.end(), linePrefix, -1);
    for (; it != std::sregex_token_iterator(); ++it) {
        std::string message = *it;
        if (message.empty() && result.empty()) {
            continue; // the text before the first prefix
        }
        if (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        result.push_back(message);
    }
    return result;
}
