// SPDX-License-Identifier: MIT
#include "FileDescriptor.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

void FileDescriptor::reset() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
}

void FileDescriptor::close() {
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0 && ::close(fd) != 0) {
        throwErrno(errno);
    }
}

void throwErrno(int error) {
    throw std::system_error(error, std::generic_category());
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno);
        }
        // No error and no progress: the device has no room left.
        if (written == 0) {
            throwErrno(ENOSPC);
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
}
