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
    BatchFile(const std::string& beside, const std::vector<std::vector<std::string>>& lines) {
        std::string text;
        for (const auto& arguments : lines) {
            std::string line;
            for (const auto& argument : arguments) {
                line += (line.empty() ? "" : " ") + argument;
            }
            text += line + "\n";
        }
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
    const BatchFile file(m_fileBeside, lines);
    std::vector<std::string> arguments;
    if (carryOn) {
        arguments.push_back("-force");
    }
    arguments.insert(arguments.end(), {"-batch", file.path()});
    const CommandResult result = m_executor.execute(m_tool, arguments);

    std::vector<LineOutcome> outcomes(lines.size(), {LineOutcome::State::done});
    if (result.exitCode == 0) {
        return outcomes;
    }
    // The tool writes what went wrong with a line, then "Command failed
    // FILE:N" naming it.
    const std::string marker = "Command failed " + file.path() + ":";
    // A message that does not end its line runs into the marker.
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
        if (number >= 1 && number <= lines.size()) {
            said = withoutTrailingNewline(said);
            outcomes[number - 1] = {LineOutcome::State::refused,
                                    said.empty() ? "exit status " + std::to_string(result.exitCode)
                                                 : said};
            ++refused;
            if (!carryOn) {
                for (size_t later = number; later < lines.size(); ++later) {
                    outcomes[later].state = LineOutcome::State::notRun;
                }
                return outcomes;
            }
        }
        said.clear();
    }
    if (refused == 0) {
        std::string commandLine = m_tool;
        for (const auto& argument : arguments) {
            commandLine += " " + argument;
        }
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
