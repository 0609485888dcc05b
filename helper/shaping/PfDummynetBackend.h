// SPDX-License-Identifier: MIT
#pragma once

#include "ChangeRecord.h"
#include "EnginePaths.h"
#include "ShapingBackend.h"

#include <optional>
#include <string>
#include <vector>

class CommandExecutor;
class Logger;

// Shapes traffic with a pair of dummynet pipes per throttle (1 inbound, 2
// outbound for the whole machine) and a pf anchor whose rules send TCP and
// UDP through them, a throttle's destinations in tables of the anchor (see
// PfAnchorRules). Every object it makes has a name of its own, so its
// clean-up is one sequence: the anchor flushed with its tables, then the
// pipes the record lists.
// A failed enable is not rolled back: its last step that can fail loads the
// anchor, and without the anchor's rules the pipes shape nothing. What a
// clean-up could not remove stays on record: each pipe dnctl did not delete,
// and the anchor while pfctl has not flushed it and reloaded pf.conf
// without it.
class PfDummynetBackend final : public ShapingBackend {
public:
    PfDummynetBackend(const Logger& logger, const CommandExecutor& executor,
                      EnginePaths paths = {});

    // dummynet's pipes take the five conditions every client has always
    // sent, none of those the dictionary of named parameters adds.
    std::optional<std::string> refusal(const ThrottleParameters& parameters,
                                       const ThrottleScope& scope) const override;
    void applyShaping(const ShapingLayout& layout) override;
    // Reconfigures the pipes of the throttles whose conditions changed; the
    // anchor's rules stay loaded as they are.
    bool changeConditions(const ShapingLayout& layout) override;
    void removeShaping() override;
    bool hasRecordedChanges() const override;
    void removeTemporaryLeftovers() noexcept override;
    ShapingStatistics statistics() const override;

private:
    void note(const ChangeRecord::Entry& entry);
    void configurePipes(const ScopedPlan& throttle);
    void configurePipe(int pipeNumber, const DirectionShaping& shaping, const char* failureMessage);
    void ensureDummynetAnchorInstalled();
    void removeDummynetAnchor() noexcept;
    // The pipes the record lists, and the whole machine's whatever it lists.
    std::vector<std::string> recordedPipes() const;
    void writeAnchorRules(const std::string& rules);
    void loadAnchorRules();

    const Logger& m_logger;
    const CommandExecutor& m_executor;
    EnginePaths m_paths;
    ChangeRecord m_record;
    // What applyShaping and the changes since put in force, while it is.
    std::optional<ShapingLayout> m_inForce;
};
