// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

class CommandExecutor;

// What became of one line of a batch.
struct LineOutcome {
    enum class State { done, refused, notRun };
    State state = State::notRun;
    // What the tool said about a refused line.
    std::string output = {};
};

// Runs many commands of tc or ip in one run of the tool (`-batch FILE`): one
// process instead of one per command, which is what a switch of throttling
// costs most. The file is written beside the change record, root-only, and
// removed after the run.
class ToolBatch final {
public:
    // `fileBeside`: the file whose temporaries the batch files are named as.
    ToolBatch(const CommandExecutor& executor, std::string tool, std::string fileBeside);

    // Runs `lines`, each a command's arguments, in order. The tool stops at
    // the first refused line unless `carryOn`, and then runs the rest too.
    // Throws the runner's errors, std::system_error when the file cannot be
    // written, and std::runtime_error when the tool failed without telling
    // which line: what ran is then not known.
    std::vector<LineOutcome> run(const std::vector<std::vector<std::string>>& lines,
                                 bool carryOn) const;

    const std::string& tool() const { return m_tool; }
    const std::string& fileBeside() const { return m_fileBeside; }

private:
    std::vector<LineOutcome> runEach(const std::vector<std::vector<std::string>>& lines,
                                     bool carryOn) const;

    const CommandExecutor& m_executor;
    const std::string m_tool;
    const std::string m_fileBeside;
};
