// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingBackend.h"

#include <string>

class Logger;

// Shapes nothing: writes each layout it is given into one file, so that the
// sandboxed daemon and the engine's tests can run every kind of scope where
// no kernel mechanism can shape it, and read back what would be in force.
class StandInBackend final : public ShapingBackend {
public:
    // With `changesInPlace` false it never changes a layout in place, as a
    // backend whose interfaces changed.
    StandInBackend(const Logger& logger, std::string recordPath, bool changesInPlace = true);

    // One line per throttle: "slot 2 only to 10.0.0.0/8:443 down=1000B/s up=0B/s".
    static std::string describe(const ShapingLayout& layout);

    void applyShaping(const ShapingLayout& layout) override;
    bool changeShaping(const ShapingLayout& layout) override;
    bool changeConditions(const ShapingLayout& layout) override;
    void removeShaping() override;
    bool hasRecordedChanges() const override;
    ShapingStatistics statistics() const override;

private:
    const Logger& m_logger;
    const std::string m_recordPath;
    const bool m_changesInPlace;
};
