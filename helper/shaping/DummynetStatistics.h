// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingStatistics.h"

#include <string>
#include <string_view>

class CommandExecutor;

// Reads what dummynet's pipes have done from `dnctl pipe show`: each
// throttle's inbound pipe shapes its download, its outbound pipe its upload
// (see PfAnchorRules).
class DummynetStatistics final {
public:
    DummynetStatistics(const CommandExecutor& executor, std::string dnctl);

    // Throws HelperError when dnctl fails, and the runner's errors.
    ShapingStatistics read() const;

    // The pipes of the listing, each the sum of its flows. dummynet counts a
    // packet when it arrives, so what passed is what arrived less what it
    // dropped and what it still holds; it does not count the bytes it
    // dropped, which are taken at the flow's mean packet size.
    static ShapingStatistics parse(std::string_view listing);

private:
    const CommandExecutor& m_executor;
    const std::string m_dnctl;
};
