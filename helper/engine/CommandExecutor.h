// SPDX-License-Identifier: MIT
#pragma once

#include "CommandResult.h"
#include "ToolDeadline.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

class Logger;

// A run that went past its time limit, or that the daemon's stop ended. Its
// what() names the command line, and it travels like a start error: unwrapped.
class CommandTimeout final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs one external program synchronously, by absolute path and argument list
// (never through a shell), and captures what it writes. Every run is bounded:
// a tool past the time limit gets SIGTERM, and SIGKILL a second later.
// ToolLaunch starts the tool, ToolProcess holds it and its group,
// ToolOutput reads its streams and ToolDeadline says when it must end.
class CommandExecutor final {
public:
    using Clock = ToolDeadline::Clock;

    explicit CommandExecutor(const Logger& logger,
                             std::chrono::milliseconds timeLimit = std::chrono::seconds(30));
    CommandExecutor(const CommandExecutor&) = delete;
    CommandExecutor& operator=(const CommandExecutor&) = delete;

    // Which runs the log shows: every run is the rule, since they change the
    // network; a reading repeated every second would bury those lines.
    enum class Logging { everyRun, failuresOnly };

    // Throws std::system_error, whose what() is the OS's description, when the
    // program cannot be started, and CommandTimeout. A non-zero exit status is
    // not an error here.
    CommandResult execute(const std::string& executablePath,
                          const std::vector<std::string>& arguments,
                          Logging logging = Logging::everyRun) const;

    void executeIgnoringErrors(const std::string& executablePath,
                               const std::vector<std::string>& arguments) const noexcept;

    // For the daemon's stop, from any thread: the tool running now is ended
    // at once, and no run from now on lasts past `deadline`.
    void endRunsBy(Clock::time_point deadline) const noexcept;

    // The deadline of the call a thread is working for: while it lives, no
    // run this thread starts lasts past it, and a run started after it fails
    // at once with CommandTimeout. Scopes nest; the inner one counts.
    class CallDeadline final {
    public:
        explicit CallDeadline(Clock::time_point deadline) noexcept;
        ~CallDeadline();
        CallDeadline(const CallDeadline&) = delete;
        CallDeadline& operator=(const CallDeadline&) = delete;

        // Moves the deadline, e.g. to give undoing a late change the rest of
        // the call's time.
        void moveTo(Clock::time_point deadline) noexcept;

    private:
        Clock::time_point m_outer;
    };

private:
    const Logger& m_logger;
    const std::chrono::milliseconds m_timeLimit;
    mutable ToolDeadline::Stop m_stop;
};
