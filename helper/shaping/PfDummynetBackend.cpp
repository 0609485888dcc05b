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
    // pfctl and dnctl also complain about what is not there; only a tool
    // that never ran to its end leaves something for certain. With nothing
    // on record, nothing of ours can be left, and failures are only logged.
    const bool recorded = hasRecordedChanges();
    std::vector<std::string> failures;
    const auto step = [&](const std::string& tool, const std::vector<std::string>& arguments) {
        if (!recorded) {
            m_executor.executeIgnoringErrors(tool, arguments);
            return;
        }
        try {
            m_executor.execute(tool, arguments);
        } catch (const CommandTimeout& timeout) {
            failures.push_back(timeout.what());
        } catch (const std::exception& error) {
            std::string commandLine = tool;
            for (const auto& argument : arguments) {
                commandLine += " " + argument;
            }
            failures.push_back(commandLine + ": " + error.what());
        }
    };
    step(m_paths.pfctl, {"-a", kAnchorName, "-F", "all"});
    removeDummynetAnchor();
    step(m_paths.pfctl, {"-f", m_paths.pfConf});
    for (const std::string& pipe : recordedPipes()) {
        step(m_paths.dnctl, {"pipe", "delete", pipe});
    }
    step(m_paths.dnctl, {"-q", "flush"});
    if (!failures.empty()) {
        std::string detail;
        for (const auto& failure : failures) {
            detail += (detail.empty() ? "" : "; ") + failure;
        }
        throw HelperError::cleanupIncomplete(detail);
    }
    try {
        m_record.replace({});
    } catch (const std::system_error& error) {
        m_logger.log(std::string("Failed to clear the change record: ") + error.what());
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
    for (const ScopedPlan& throttle : layout.throttles) {
        const ShapingPlan& plan = throttle.plan;
        configurePipe(PfAnchorRules::inboundPipe(throttle.slot), plan.download,
                      "Failed to configure download pipe: ");
        // The upload pipe never drops packets: loss is simulated on arrival
        // only.
        configurePipe(PfAnchorRules::outboundPipe(throttle.slot),
                      {plan.upload.bandwidthBytesPerSecond, plan.upload.latencyMs, 0.0},
                      "Failed to configure upload pipe: ");
    }
    ensureDummynetAnchorInstalled();
    writeAnchorRules(PfAnchorRules::forLayout(layout));
    const AnchorRulesRemoval removal(m_paths.anchorRules);
    note({"anchor", kAnchorName});
    loadAnchorRules();
    m_executor.executeIgnoringErrors(m_paths.pfctl, {"-e"});
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
