// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// Writes the helper's time-stamped lines to a stream (stdout by default) and to
// the system log, unless the stream is the journal already. Holds no mutable
// state, so any thread may log at any time.
class Logger final {
public:
    // The default is what the daemon uses; tests and benchmarks pass their own
    // descriptor and keep the machine's system log clean.
    explicit Logger(int outputFd = 1, bool toSystemLog = true);

    void log(std::string_view message) const noexcept;

private:
    int m_outputFd;
    bool m_toSystemLog;
};
