// SPDX-License-Identifier: MIT
#include "ToolOutput.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

ToolOutput::ToolOutput(FileDescriptor output, FileDescriptor error)
    : m_output(std::move(output))
    , m_error(std::move(error))
    , m_fds{pollfd{m_output.get(), POLLIN, 0}, pollfd{m_error.get(), POLLIN, 0}} {
    for (const FileDescriptor* end : {&m_output, &m_error}) {
        if (::fcntl(end->get(), F_SETFL, O_NONBLOCK) != 0) {
            throwErrno(errno);
        }
    }
}

void ToolOutput::waitAndRead(std::chrono::milliseconds timeout, int alsoWatched) {
    std::array<pollfd, 3> watched{m_fds[0], m_fds[1], pollfd{alsoWatched, POLLIN, 0}};
    if (::poll(watched.data(), watched.size(), static_cast<int>(timeout.count())) < 0 &&
        errno != EINTR) {
        throwErrno(errno);
    }
    m_fds[0].revents = watched[0].revents;
    m_fds[1].revents = watched[1].revents;
    readAvailable();
}

void ToolOutput::readAvailable() {
    char buffer[65536];
    for (size_t i = 0; i < m_fds.size(); ++i) {
        while (m_fds[i].fd >= 0) {
            const ssize_t count = ::read(m_fds[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                m_texts[i].append(buffer, static_cast<size_t>(count));
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && errno == EAGAIN) {
                break;
            } else {
                m_fds[i].fd = -1;
            }
        }
    }
}
