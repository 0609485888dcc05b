// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"

#include "Logger.h"
#include "ToolLaunch.h"
#include "ToolOutput.h"
#include "ToolProcess.h"
#include "Utf8.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string joinCommandLine(const std::string& path, const std::vector<std::string>& arguments) {
    std::string line = path;
    for (const auto& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

// The network namespace a /proc entry names, by its inode; nothing when it
// cannot be told.
std::optional<ino_t> networkNamespace(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return status.st_ino;
}

// The current call's deadline of this thread (see CallDeadline).
thread_local CommandExecutor::Clock::time_point t_callDeadline =
    CommandExecutor::Clock::time_point::max();

} // namespace

CommandExecutor::CallDeadline::CallDeadline(Clock::time_point deadline) noexcept
    : m_outer(std::exchange(t_callDeadline, deadline)) {}

CommandExecutor::CallDeadline::~CallDeadline() {
    t_callDeadline = m_outer;
}

void CommandExecutor::CallDeadline::moveTo(Clock::time_point deadline) noexcept {
    t_callDeadline = deadline;
}

CommandExecutor::CommandExecutor(const Logger& logger, std::chrono::milliseconds timeLimit)
    : m_logger(logger)
    , m_timeLimit(timeLimit) {}

void CommandExecutor::endRunsBy(Clock::time_point deadline) const noexcept {
    m_stop.endRunsBy(deadline);
}

ToolDeadline CommandExecutor::deadlineOf(const std::string& commandLine, Logging logging) const {
    const Clock::time_point callDeadline = t_callDeadline;
    if (Clock::now() >= callDeadline) {
        throw CommandTimeout("Command not started: its call ran out of time: " + commandLine);
    }
    if (logging == Logging::everyRun) {
        m_logger.log("Executing: " + commandLine);
    }
    return ToolDeadline(m_timeLimit, callDeadline, m_stop);
}

CommandResult CommandExecutor::execute(const std::string& executablePath,
                                       const std::vector<std::string>& arguments,
                                       Logging logging) const {
    const std::string commandLine = joinCommandLine(executablePath, arguments);
    const ToolDeadline deadline = deadlineOf(commandLine, logging);
    ToolLaunch launch(executablePath, arguments);
    ToolProcess tool(launch.pid());
    // Declared after the tool, so that however the run ends the pipes close
    // before the tool is killed and reaped.
    ToolOutput output(launch.takeOutput(), launch.takeError());
    return finish(tool, output, deadline, commandLine);
}

CommandExecutor::StartedTool::StartedTool(std::string commandLine, pid_t pid, FileDescriptor input,
                                          FileDescriptor output, FileDescriptor error)
    : m_commandLine(std::move(commandLine))
    , m_pid(pid)
    , m_process(pid)
    , m_input(std::move(input))
    , m_output(std::move(output))
    , m_error(std::move(error)) {}

bool CommandExecutor::StartedTool::canRunHere() {
    if (hasExited()) {
        return false;
    }
    const auto own = networkNamespace("/proc/thread-self/ns/net");
    return own && own == networkNamespace("/proc/" + std::to_string(m_pid) + "/ns/net");
}

std::unique_ptr<CommandExecutor::StartedTool>
CommandExecutor::start(const std::string& executablePath,
                       const std::vector<std::string>& arguments) const {
    ToolLaunch launch(executablePath, arguments, ToolLaunch::Input::pipe);
    return std::unique_ptr<StartedTool>(new StartedTool(joinCommandLine(executablePath, arguments),
                                                        launch.pid(), launch.takeInput(),
                                                        launch.takeOutput(), launch.takeError()));
}

CommandResult CommandExecutor::execute(StartedTool& started, const std::string& input,
                                       Logging logging) const {
    const ToolDeadline deadline = deadlineOf(started.m_commandLine, logging);
    ToolOutput output(std::move(started.m_output), std::move(started.m_error));
    FileDescriptor pipe = std::move(started.m_input);
    // A tool that stops reading (it failed, or ended early) leaves the rest
    // unwritten: its status tells. The daemon ignores SIGPIPE.
    ::fcntl(pipe.get(), F_SETFL, O_NONBLOCK);
    for (size_t written = 0; written < input.size();) {
        const ssize_t count = ::write(pipe.get(), input.data() + written, input.size() - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
        if (const std::optional<std::string> reason = deadline.reasonToEnd(Clock::now())) {
            started.m_process.signalGroup(SIGKILL);
            started.m_process.waitFor(std::chrono::seconds(5));
            throw CommandTimeout(*reason + started.m_commandLine);
        }
        pollfd writable{pipe.get(), POLLOUT, 0};
        ::poll(&writable, 1, 100);
    }
    // Its input ends here, and so does its batch.
    pipe.reset();
    return finish(started.m_process, output, deadline, started.m_commandLine);
}

CommandResult CommandExecutor::finish(ToolProcess& tool, ToolOutput& output,
                                      const ToolDeadline& deadline,
                                      const std::string& commandLine) const {
    auto idlePause = std::chrono::milliseconds(1);
    while (true) {
        const bool pipesOpen = output.isOpen();
        if (tool.hasExited()) {
            output.readAvailable();
            if (output.isOpen()) {
                // Something the tool started still holds its output: it
                // must not hold the engine too.
                tool.signalGroup(SIGKILL);
            }
            break;
        }
        const Clock::time_point now = Clock::now();
        if (const std::optional<std::string> reason = deadline.reasonToEnd(now)) {
            tool.signalGroup(SIGTERM);
            if (!tool.waitFor(std::chrono::seconds(1))) {
                tool.signalGroup(SIGKILL);
                tool.waitFor(std::chrono::seconds(5));
            }
            throw CommandTimeout(*reason + commandLine);
        }
        // Open pipes and the exit watch wake the poll themselves; the slice
        // only bounds how late a deadline or a stop is noticed. Without the
        // exit watch, pipes at their end mean the tool is exiting: look
        // again soon.
        auto slice = std::chrono::milliseconds(100);
        if (!pipesOpen && tool.exitWatch() < 0) {
            slice = idlePause;
            idlePause = std::min(idlePause * 2, std::chrono::milliseconds(20));
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline.at() - now);
        output.waitAndRead(std::chrono::milliseconds(std::max<std::int64_t>(
                               1, std::min<std::int64_t>(slice.count(), left.count() + 1))),
                           tool.exitWatch());
    }

    CommandResult result{output.takeOutput(), output.takeError(), tool.exitCode()};
    if (!isValidUtf8(result.output)) {
        result.output.clear();
    }
    if (!isValidUtf8(result.error)) {
        result.error.clear();
    }
    if (result.exitCode != 0) {
        m_logger.log("Command failed with exit code " + std::to_string(result.exitCode) + ": " +
                     result.error);
    }
    return result;
}

void CommandExecutor::executeIgnoringErrors(
    const std::string& executablePath, const std::vector<std::string>& arguments) const noexcept {
    try {
        execute(executablePath, arguments);
    } catch (const std::exception& error) {
        m_logger.log(std::string("Command failed (ignored): ") + error.what());
    } catch (...) {
        m_logger.log("Command failed (ignored): unknown error");
    }
}
