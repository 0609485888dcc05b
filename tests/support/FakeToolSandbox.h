// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// A temporary folder that stands in for the root of the file system: fake
// pfctl, dnctl, tc, ip and nft under sbin/ and usr/sbin/, an etc/pf.conf and a tmp/. The
// fake tools append their name and arguments to a log and answer as told;
// given "-batch FILE" (or "-force -batch FILE"), they take each line of FILE
// for a run of its own, as tc and ip do.
class FakeToolSandbox final {
public:
    FakeToolSandbox();
    ~FakeToolSandbox();
    FakeToolSandbox(const FakeToolSandbox&) = delete;
    FakeToolSandbox& operator=(const FakeToolSandbox&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& absolutePath) const { return m_root + absolutePath; }

    // Installs a fake tool at `absolutePath` under the root, logged under the
    // last part of the path.
    void installTool(const std::string& absolutePath);

    // The next runs of `tool` whose arguments joined by spaces equal
    // `arguments` ("*" for any) print the given texts ("\n" escapes allowed),
    // sleep, and exit with `exitCode`. The first matching answer wins.
    void answer(const std::string& tool, const std::string& arguments, int exitCode,
                const std::string& output = {}, const std::string& error = {},
                double sleepSeconds = 0);

    void clearAnswers() const;

    // From now on, runs of `tool` whose arguments start with `prefix` wait
    // until release(), after which nothing waits any more. Replaces what
    // was held before.
    void hold(const std::string& tool, const std::string& prefix) const;
    // Whether a run waits now.
    bool holding() const;
    void release() const;

    // "tool arg arg ..." per run, or per line of a batch, with the sandbox
    // root cut out of every path.
    std::vector<std::string> toolRuns() const;
    // "tool arg arg ..." per process started, a batch once.
    std::vector<std::string> toolProcesses() const;
    // Forgets the runs and the loaded anchor rules seen so far.
    void clearToolRuns() const;

    // Every anchor rules file pfctl was asked to load, as it read it.
    std::string loadedAnchorRules() const;
    // The main configuration pfctl -f last loaded, as it read it.
    std::string loadedPfConf() const;

    void writeFile(const std::string& absolutePath, const std::string& contents) const;
    std::string readFile(const std::string& absolutePath) const;
    bool exists(const std::string& absolutePath) const;

    static const char* const kDefaultPfConf;

private:
    std::string m_root;
};
