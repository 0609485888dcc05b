// SPDX-License-Identifier: MIT
#pragma once

#include "CommandExecutor.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
// removed after the run. A tool started ahead (startAhead) takes its batch
// on its standard input instead (`-batch -`), and the switch does not wait
// for the tool to start at all.
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

    // Starts the tool for the next run that stops at a refused line, unless
    // one waits already; between changes, never during one. That run takes
    // it only in the network namespace it was started in, and while it has
    // not died; otherwise it starts its own as before.
    void startAhead() const noexcept;

    const std::string& tool() const { return m_tool; }
    const std::string& fileBeside() const { return m_fileBeside; }

private:
    std::unique_ptr<CommandExecutor::StartedTool> takeStarted() const;
    // Which lines the tool refused, from what it said naming them after
    // `marker` (its "Command failed FILE:"); throws when it failed without
    // naming one.
    std::vector<LineOutcome> outcomesOf(const CommandResult& result, const std::string& marker,
                                        size_t lineCount, bool carryOn,
                                        const std::string& commandLine) const;
    std::vector<LineOutcome> runEach(const std::vector<std::vector<std::string>>& lines,
                                     bool carryOn) const;

    const CommandExecutor& m_executor;
    const std::string m_tool;
    const std::string m_fileBeside;
    mutable std::mutex m_startedLock;
    mutable std::unique_ptr<CommandExecutor::StartedTool> m_started;
};
