// SPDX-License-Identifier: MIT
#include "PfDummynetBackend.h"

#include "CommandBuilder.h"
#include "CommandExecutor.h"
#include "DummynetStatistics.h"
#include "FileAccess.h"
#include "HelperError.h"
#include "Logger.h"
#include "PfAnchorRules.h"
#include "PfConf.h"

#include <algorithm>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* kAnchorName = "com.veltrane";

// How the tools say that what a clean-up step removes is not there. dnctl
// passes on the kernel's ENOENT for a pipe it does not know, as warn(3)
// words it ("dnctl: rule 3: setsockopt(IP_DUMMYNET_DEL): No such file or
// directory"); pfctl flushes a missing anchor's rules without complaint, but
// not its tables ("pfctl: Anchor or Ruleset does not exist."). A reload of
// pf.conf and a flush of every pipe have no such answer: when they fail,
// they were refused.
constexpr const char* kMissingPipe = "IP_DUMMYNET_DEL): No such file or directory";
constexpr const char* kMissingAnchor = "Anchor or Ruleset does not exist";

std::string withoutTrailingNewlines(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// Removes the anchor rules file however the enable ends; pf has its own copy
// once loaded, and a stale file must never be loaded by anyone later.
class AnchorRulesRemoval final {
public:
    explicit AnchorRulesRemoval(const std::string& path)
        : m_path(path) {}
    AnchorRulesRemoval(const AnchorRulesRemoval&) = delete;
    AnchorRulesRemoval& operator=(const AnchorRulesRemoval&) = delete;
    ~AnchorRulesRemoval() { ::unlink(m_path.c_str()); }

private:
    const std::string& m_path;
};

} // namespace

PfDummynetBackend::PfDummynetBackend(const Logger& logger, const CommandExecutor& executor,
                                     EnginePaths paths)
    : m_logger(logger)
    , m_executor(executor)
    , m_paths(std::move(paths))
    , m_record(m_paths.changeRecord) {}

void PfDummynetBackend::removeShaping() {
    // A step that exits non-zero may have removed nothing: only the tool's
    // own word that what it removes is not there lets it off the record.
    // With nothing on record, nothing of ours can be left, and failures are
    // only logged.
    const bool recorded = hasRecordedChanges();
    m_inForce.reset();
    std::vector<std::string> failures;
    const auto removes = [&](const std::string& tool, const std::vector<std::string>& arguments,
                             const char* notThere) {
        if (!recorded) {
            m_executor.executeIgnoringErrors(tool, arguments);
            return true;
        }
        std::string commandLine = tool;
        for (const auto& argument : arguments) {
            commandLine += " " + argument;
        }
        try {
            const CommandResult result = m_executor.execute(tool, arguments);
            const std::string said = withoutTrailingNewlines(result.combinedOutput());
            if (result.exitCode == 0 ||
                (notThere != nullptr && said.find(notThere) != std::string::npos)) {
                return true;
            }
            failures.push_back(
                commandLine + ": " +
                (said.empty() ? "exit status " + std::to_string(result.exitCode) : said));
        } catch (const CommandTimeout& timeout) {
            failures.push_back(timeout.what());
        } catch (const std::exception& error) {
            failures.push_back(commandLine + ": " + error.what());
        }
        return false;
    };
    const bool anchorFlushed =
        removes(m_paths.pfctl, {"-a", kAnchorName, "-F", "all"}, kMissingAnchor);
    removeDummynetAnchor();
    // Until pf has reloaded its configuration, the anchor is still hooked in.
    const bool anchorUnhooked = removes(m_paths.pfctl, {"-f", m_paths.pfConf}, nullptr);
    ChangeRecord::Entry pipesLeft = {"pipes"};
    for (const std::string& pipe : recordedPipes()) {
        if (!removes(m_paths.dnctl, {"pipe", "delete", pipe}, kMissingPipe)) {
            pipesLeft.push_back(pipe);
        }
    }
    const bool pipesFlushed = removes(m_paths.dnctl, {"-q", "flush"}, nullptr);

    // What could not be removed stays on record for the next try; a failed
    // flush keeps the entry without a number, which still brings pipes 1
    // and 2 and the flush back.
    std::vector<ChangeRecord::Entry> left;
    if (pipesLeft.size() > 1 || !pipesFlushed) {
        left.push_back(pipesLeft);
    }
    if (!anchorFlushed || !anchorUnhooked) {
        left.push_back({"anchor", kAnchorName});
    }
    try {
        m_record.replace(left);
    } catch (const std::system_error& error) {
        // The record still lists at least what is left.
        m_logger.log(std::string("Failed to update the change record: ") + error.what());
    }
    if (!failures.empty()) {
        std::string detail;
        for (const auto& failure : failures) {
            detail += (detail.empty() ? "" : "; ") + failure;
        }
        throw HelperError::cleanupIncomplete(detail);
    }
}

bool PfDummynetBackend::hasRecordedChanges() const {
    return !m_record.isEmpty();
}

void PfDummynetBackend::removeTemporaryLeftovers() noexcept {
    for (const std::string* path : {&m_paths.pfConf, &m_paths.anchorRules, &m_paths.changeRecord}) {
        for (const auto& removed : FileAccess::removeLeftoverTemporaries(*path)) {
            m_logger.log("Removed leftover temporary file " + removed);
        }
    }
    // The rules file lives only while an enable loads it.
    struct stat status {};
    if (::lstat(m_paths.anchorRules.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_uid == ::geteuid() && ::unlink(m_paths.anchorRules.c_str()) == 0) {
        m_logger.log("Removed leftover temporary file " + m_paths.anchorRules);
    }
}

ShapingStatistics PfDummynetBackend::statistics() const {
    return DummynetStatistics(m_executor, m_paths.dnctl).read();
}

void PfDummynetBackend::note(const ChangeRecord::Entry& entry) {
    try {
        m_record.add({entry});
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write the change record: ") +
                                     error.what());
    }
}

std::optional<std::string> PfDummynetBackend::refusal(const ThrottleParameters& parameters,
                                                      const ThrottleScope& scope) const {
    if (scope.kind() == ThrottleScope::Kind::command) {
        return std::string("Throttling one command cannot be done with pf and dummynet");
    }
    if (scope.kind() == ThrottleScope::Kind::application) {
        return std::string("Throttling one application cannot be done with pf and dummynet");
    }
    if (const auto refusal = scope.check()) {
        return refusal;
    }
    for (const ThrottleParameters::Field& field : ThrottleParameters::fields()) {
        if (field.optional && field.isSet(parameters)) {
            return std::string(field.name) +
                   " cannot be shaped with pf and dummynet; remove it from the profile";
        }
    }
    return std::nullopt;
}

void PfDummynetBackend::applyShaping(const ShapingLayout& layout) {
    ChangeRecord::Entry pipes = {"pipes"};
    for (const ScopedPlan& throttle : layout.throttles) {
        pipes.push_back(std::to_string(PfAnchorRules::inboundPipe(throttle.slot)));
        pipes.push_back(std::to_string(PfAnchorRules::outboundPipe(throttle.slot)));
    }
    note(pipes);
    m_inForce.reset();
    for (const ScopedPlan& throttle : layout.throttles) {
        configurePipes(throttle);
    }
    ensureDummynetAnchorInstalled();
    writeAnchorRules(PfAnchorRules::forLayout(layout));
    const AnchorRulesRemoval removal(m_paths.anchorRules);
    note({"anchor", kAnchorName});
    loadAnchorRules();
    m_executor.executeIgnoringErrors(m_paths.pfctl, {"-e"});
    m_inForce = layout;
}

bool PfDummynetBackend::changeConditions(const ShapingLayout& layout) {
    const auto sameTraffic = [](const ScopedPlan& a, const ScopedPlan& b) {
        return a.slot == b.slot && a.scope == b.scope && a.id == b.id;
    };
    if (!m_inForce || m_inForce->throttles.size() != layout.throttles.size() ||
        !std::equal(layout.throttles.begin(), layout.throttles.end(), m_inForce->throttles.begin(),
                    sameTraffic)) {
        return false;
    }
    // `pipe config` replaces a pipe's conditions while its queue and the
    // anchor's rules stay: nothing passes unshaped in between.
    for (std::size_t index = 0; index < layout.throttles.size(); ++index) {
        if (layout.throttles[index].plan != m_inForce->throttles[index].plan) {
            configurePipes(layout.throttles[index]);
            m_inForce->throttles[index] = layout.throttles[index];
        }
    }
    return true;
}

void PfDummynetBackend::configurePipes(const ScopedPlan& throttle) {
    const ShapingPlan& plan = throttle.plan;
    configurePipe(PfAnchorRules::inboundPipe(throttle.slot), plan.download,
                  "Failed to configure download pipe: ");
    // Loss is simulated on arrival only: the plan drops outbound packets
    // only where nothing may pass at all.
    configurePipe(
        PfAnchorRules::outboundPipe(throttle.slot),
        {plan.upload.bandwidthBytesPerSecond, plan.upload.latencyMs, plan.upload.packetLossPercent},
        "Failed to configure upload pipe: ");
}

void PfDummynetBackend::configurePipe(int pipeNumber, const DirectionShaping& shaping,
                                      const char* failureMessage) {
    const CommandResult result = m_executor.execute(
        m_paths.dnctl,
        CommandBuilder::buildPipeConfigArguments(pipeNumber, shaping.bandwidthBytesPerSecond,
                                                 shaping.latencyMs, shaping.packetLossPercent));
    if (result.exitCode != 0) {
        throw HelperError::commandFailed(failureMessage + result.combinedOutput());
    }
}

void PfDummynetBackend::ensureDummynetAnchorInstalled() {
    std::string text;
    try {
        text = FileAccess::readUtf8File(m_paths.pfConf);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to read /etc/pf.conf: ") + error.what());
    }
    if (PfConf::containsAnchorReference(text)) {
        m_logger.log("dummynet-anchor already in pf.conf");
        return;
    }
    note({"pf.conf-line"});
    try {
        FileAccess::replaceAtomically(m_paths.pfConf, PfConf::withAnchorReferenceInserted(text),
                                      FileAccess::ExistingFile::keepModeAndOwner);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write /etc/pf.conf: ") + error.what());
    }
    m_logger.log("Added dummynet-anchor to pf.conf");

    const CommandResult reload = m_executor.execute(m_paths.pfctl, {"-f", m_paths.pfConf});
    if (reload.exitCode != 0) {
        m_logger.log("Warning: pf reload returned non-zero: " + reload.combinedOutput());
    }
}

void PfDummynetBackend::removeDummynetAnchor() noexcept {
    try {
        const auto edited =
            PfConf::withoutAnchorReference(FileAccess::readUtf8File(m_paths.pfConf));
        if (!edited) {
            return;
        }
        FileAccess::replaceAtomically(m_paths.pfConf, *edited,
                                      FileAccess::ExistingFile::keepModeAndOwner);
        m_logger.log("Removed dummynet-anchor from pf.conf");
    } catch (...) {
        // Clean-up carries on whatever the file does; the next enable reads it
        // again and reports what is wrong.
    }
}

std::vector<std::string> PfDummynetBackend::recordedPipes() const {
    // Pipes 1 and 2 always: a record lost or never written still leaves the
    // whole machine's pipes found and removed, as before throttles had pipes
    // of their own.
    std::vector<std::string> pipes = {"1", "2"};
    try {
        for (const auto& entry : m_record.entries()) {
            if (entry.empty() || entry[0] != "pipes") {
                continue;
            }
            for (size_t index = 1; index < entry.size(); ++index) {
                if (std::find(pipes.begin(), pipes.end(), entry[index]) == pipes.end()) {
                    pipes.push_back(entry[index]);
                }
            }
        }
    } catch (const std::system_error& error) {
        m_logger.log(std::string("Failed to read the change record: ") + error.what());
    }
    return pipes;
}

void PfDummynetBackend::writeAnchorRules(const std::string& rules) {
    try {
        // A new file renamed over the fixed name: whatever another user
        // planted there, file or link, is replaced, never written through.
        FileAccess::replaceAtomically(m_paths.anchorRules, rules,
                                      FileAccess::ExistingFile::replace);
    } catch (const std::system_error& error) {
        throw HelperError::fileError(std::string("Failed to write anchor rules: ") + error.what());
    }
}

void PfDummynetBackend::loadAnchorRules() {
    const CommandResult result =
        m_executor.execute(m_paths.pfctl, {"-a", kAnchorName, "-f", m_paths.anchorRules});
    if (result.exitCode != 0) {
        throw HelperError::commandFailed("Failed to load pf anchor: " + result.combinedOutput());
    }
}
