// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <array>
#include <chrono>
#include <poll.h>
#include <string>
#include <utility>

// What a tool writes to its standard output and error, read from both
// pipes as they fill: reading one stream to its end before the other would
// leave the tool blocked on a full pipe. Closing the pipes (when this goes)
// makes a tool blocked on one fail its write instead of waiting for ever.
class ToolOutput final {
public:
    // Takes the pipes' read ends and makes them non-blocking. Throws
    // std::system_error.
    ToolOutput(FileDescriptor output, FileDescriptor error);

    // Whether either stream has not reached its end.
    bool isOpen() const { return m_fds[0].fd >= 0 || m_fds[1].fd >= 0; }
    // Waits up to `timeout` for either pipe, or for `alsoWatched` (-1 for
    // none) to become readable, then reads what the pipes hold. Throws
    // std::system_error.
    void waitAndRead(std::chrono::milliseconds timeout, int alsoWatched);
    // Reads whatever both pipes hold now.
    void readAvailable();

    std::string takeOutput() { return std::move(m_texts[0]); }
    std::string takeError() { return std::move(m_texts[1]); }

private:
    FileDescriptor m_output;
    FileDescriptor m_error;
    // A pipe at its end (or broken) is set to -1 here.
    std::array<pollfd, 2> m_fds;
    std::array<std::string, 2> m_texts;
};
