// SPDX-License-Identifier: MIT
#include "ToolBatch.h"

#include "CommandExecutor.h"
#include "FileAccess.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

// tc and ip split a batch line at white space, cut it at a '#' and take a
// word that starts with a quote up to the next one. Interface names may hold
// such characters; a line with one runs on its own.
bool readsBackAsItIs(const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (argument.empty() || argument.find('#') != std::string::npos ||
            argument.front() == '"' || argument.front() == '\'') {
            return false;
        }
    }
    return true;
}

class BatchFile final {
public:
    BatchFile(const std::string& beside, const std::string& text) {
        FileAccess::makeParentFolders(beside);
        m_path = FileAccess::writeTemporary(beside, text);
    }
    ~BatchFile() { ::unlink(m_path.c_str()); }
    BatchFile(const BatchFile&) = delete;
    BatchFile& operator=(const BatchFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::string joinedLines(const std::vector<std::vector<std::string>>& lines) {
    std::string text;
    for (const auto& arguments : lines) {
        std::string line;
        for (const auto& argument : arguments) {
            line += (line.empty() ? "" : " ") + argument;
        }
        text += line + "\n";
    }
    return text;
}

std::string withoutTrailingNewline(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

} // namespace

ToolBatch::ToolBatch(const CommandExecutor& executor, std::string tool, std::string fileBeside)
    : m_executor(executor)
    , m_tool(std::move(tool))
    , m_fileBeside(std::move(fileBeside)) {}

std::vector<LineOutcome> ToolBatch::run(const std::vector<std::vector<std::string>>& lines,
                                        bool carryOn) const {
    if (lines.empty()) {
        return {};
    }
    for (const auto& line : lines) {
        if (!readsBackAsItIs(line)) {
            return runEach(lines, carryOn);
        }
    }
    if (!carryOn) {
        if (std::unique_ptr<CommandExecutor::StartedTool> started = takeStarted()) {
            const CommandResult result = m_executor.execute(*started, joinedLines(lines));
            return outcomesOf(result, "Command failed -:", lines.size(), carryOn,
                              started->commandLine());
        }
    }
    const BatchFile file(m_fileBeside, joinedLines(lines));
    std::vector<std::string> arguments;
    if (carryOn) {
        arguments.push_back("-force");
    }
    arguments.insert(arguments.end(), {"-batch", file.path()});
    const CommandResult result = m_executor.execute(m_tool, arguments);
    std::string commandLine = m_tool;
    for (const auto& argument : arguments) {
        commandLine += " " + argument;
    }
    return outcomesOf(result, "Command failed " + file.path() + ":", lines.size(), carryOn,
                      commandLine);
}

void ToolBatch::startAhead() const noexcept {
    const std::lock_guard lock(m_startedLock);
    if (m_started && !m_started->hasExited()) {
        return;
    }
    try {
        m_started = m_executor.start(m_tool, {"-batch", "-"});
    } catch (...) {
        // The next run starts its own.
        m_started.reset();
    }
}

std::unique_ptr<CommandExecutor::StartedTool> ToolBatch::takeStarted() const {
    std::unique_ptr<CommandExecutor::StartedTool> started;
    {
        const std::lock_guard lock(m_startedLock);
        started = std::move(m_started);
    }
    return started && started->canRunHere() ? std::move(started) : nullptr;
}

std::vector<LineOutcome> ToolBatch::outcomesOf(const CommandResult& result,
                                               const std::string& marker, size_t lineCount,
                                               bool carryOn, const std::string& commandLine) const {
    std::vector<LineOutcome> outcomes(lineCount, {LineOutcome::State::done});
    if (result.exitCode == 0) {
        return outcomes;
    }
    // The tool writes what went wrong with a line, then the marker and the
    // line's number. A message that does not end its line runs into the marker.
    std::string said = result.output.empty() ? std::string() : result.output + "\n";
    size_t refused = 0;
    size_t from = 0;
    for (size_t at = result.error.find(marker); at != std::string::npos;
         at = result.error.find(marker, from)) {
        said += result.error.substr(from, at - from);
        char* end = nullptr;
        const size_t number = std::strtoul(result.error.c_str() + at + marker.size(), &end, 10);
        from = result.error.find('\n', static_cast<size_t>(end - result.error.c_str()));
        from = from == std::string::npos ? result.error.size() : from + 1;
        if (number >= 1 && number <= lineCount) {
            said = withoutTrailingNewline(said);
            outcomes[number - 1] = {LineOutcome::State::refused,
                                    said.empty() ? "exit status " + std::to_string(result.exitCode)
                                                 : said};
            ++refused;
            if (!carryOn) {
                for (size_t later = number; later < lineCount; ++later) {
                    outcomes[later].state = LineOutcome::State::notRun;
                }
                return outcomes;
            }
        }
        said.clear();
    }
    if (refused == 0) {
        const std::string output = withoutTrailingNewline(result.combinedOutput());
        throw std::runtime_error(
            commandLine + ": " +
            (output.empty() ? "exit status " + std::to_string(result.exitCode) : output));
    }
    return outcomes;
}

std::vector<LineOutcome> ToolBatch::runEach(const std::vector<std::vector<std::string>>& lines,
                                            bool carryOn) const {
    std::vector<LineOutcome> outcomes(lines.size());
    for (size_t index = 0; index < lines.size(); ++index) {
        const CommandResult result = m_executor.execute(m_tool, lines[index]);
        if (result.exitCode == 0) {
            outcomes[index].state = LineOutcome::State::done;
            continue;
        }
        const std::string output = result.combinedOutput();
        outcomes[index] = {LineOutcome::State::refused,
                           output.empty() ? "exit status " + std::to_string(result.exitCode)
                                          : output};
        if (!carryOn) {
            break;
        }
    }
    return outcomes;
}
