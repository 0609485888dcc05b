// SPDX-License-Identifier: MIT
#pragma once

#include "CommandResult.h"
#include "FileDescriptor.h"
#include "ToolDeadline.h"
#include "ToolProcess.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class Logger;
class ToolOutput;

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

    // A tool started before its run, waiting for its standard input: what
    // starting a process costs is paid outside the call that runs it.
    // Nothing of it outlives this; a tool never run is killed and reaped.
    class StartedTool final {
    public:
        const std::string& commandLine() const { return m_commandLine; }
        // True once it has ended by itself: it can no longer be run.
        bool hasExited() { return m_process.hasExited(); }
        // Whether it still waits, in the network namespace of the calling
        // thread: a thread may have moved into another since, and the tool
        // would change the one it was started in.
        bool canRunHere();

    private:
        friend class CommandExecutor;
        StartedTool(std::string commandLine, pid_t pid, FileDescriptor input, FileDescriptor output,
                    FileDescriptor error);

        std::string m_commandLine;
        const pid_t m_pid;
        ToolProcess m_process;
        FileDescriptor m_input;
        FileDescriptor m_output;
        FileDescriptor m_error;
    };
    // Throws std::system_error when the program cannot be started.
    std::unique_ptr<StartedTool> start(const std::string& executablePath,
                                       const std::vector<std::string>& arguments) const;
    // Runs a started tool with `input` as the whole of its standard input,
    // as execute() runs a tool; once only.
    CommandResult execute(StartedTool& tool, const std::string& input,
                          Logging logging = Logging::everyRun) const;

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
    // The run's deadline, after checking that its call still has time.
    ToolDeadline deadlineOf(const std::string& commandLine, Logging logging) const;
    CommandResult finish(ToolProcess& tool, ToolOutput& output, const ToolDeadline& deadline,
                         const std::string& commandLine) const;

    const Logger& m_logger;
    const std::chrono::milliseconds m_timeLimit;
    mutable ToolDeadline::Stop m_stop;
};
