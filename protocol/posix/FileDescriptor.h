// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>
#include <utility>

// Owns a file descriptor so that no early return or exception leaks one.
// Shared by the helper, the application and the root-side update installer.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset() noexcept;
    // Closing reports write-back errors on some file systems; this one throws
    // them, for files whose contents matter.
    void close();

private:
    int m_fd;
};

// Throws std::system_error whose what() is the OS's description of `error`.
[[noreturn]] void throwErrno(int error);

// Writes all of `text`, resuming after interruptions and short writes.
// Throws std::system_error on failure.
void writeAll(int fd, std::string_view text);
