// SPDX-License-Identifier: MIT
#pragma once

#include "CommandExecutor.h"
#include "EnginePaths.h"
#include "ShapingBackend.h"

class Logger;

// Shapes traffic with two dummynet pipes (1 inbound, 2 outbound) and a pf
// anchor whose four rules send TCP and UDP through them.
class PfDummynetBackend final : public ShapingBackend {
public:
    PfDummynetBackend(const Logger& logger, EnginePaths paths = {});

    void removeShaping() noexcept override;
    void applyShaping(const ShapingPlan& plan) override;

private:
    void configurePipe(int pipeNumber, const DirectionShaping& shaping, const char* failureMessage);
    void ensureDummynetAnchorInstalled();
    void removeDummynetAnchor() noexcept;
    void writeAnchorRules();
    void loadAnchorRules();

    const Logger& m_logger;
    CommandExecutor m_executor;
    EnginePaths m_paths;
};
