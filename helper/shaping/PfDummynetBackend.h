// SPDX-License-Identifier: MIT
#pragma once

#include "ChangeRecord.h"
#include "EnginePaths.h"
#include "ShapingBackend.h"

class CommandExecutor;
class Logger;

// Shapes traffic with two dummynet pipes (1 inbound, 2 outbound) and a pf
// anchor whose four rules send TCP and UDP through them. Every object it
// makes has a fixed name of its own, so its clean-up is one fixed sequence;
// the record only tells a later process that there is something to remove.
// A failed enable is not rolled back: its last step that can fail loads the
// anchor, and without the anchor's rules the pipes shape nothing. A clean-up
// whose tool could not start or ran out of time keeps the record.
class PfDummynetBackend final : public ShapingBackend {
public:
    PfDummynetBackend(const Logger& logger, const CommandExecutor& executor,
                      EnginePaths paths = {});

    // dummynet's pipes take the five conditions every client has always
    // sent, none of those the dictionary of named parameters adds.
    std::optional<std::string> refusal(const ThrottleParameters& parameters,
                                       const ThrottleScope& scope) const override;
    void applyShaping(const ShapingLayout& layout) override;
    void removeShaping() override;
    bool hasRecordedChanges() const override;
    void removeTemporaryLeftovers() noexcept override;
    ShapingStatistics statistics() const override;

private:
    void note(const ChangeRecord::Entry& entry);
    void configurePipe(int pipeNumber, const DirectionShaping& shaping, const char* failureMessage);
    void ensureDummynetAnchorInstalled();
    void removeDummynetAnchor() noexcept;
    void writeAnchorRules();
    void loadAnchorRules();

    const Logger& m_logger;
    const CommandExecutor& m_executor;
    EnginePaths m_paths;
    ChangeRecord m_record;
};
