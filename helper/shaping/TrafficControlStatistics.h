// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingStatistics.h"

#include <string>
#include <string_view>
#include <vector>

class CommandExecutor;

// Reads what traffic control's shapers have done: each throttle's netem
// qdisc on every uplink the change record lists (upload) and on every IFB
// device it lists (download), summed per throttle and direction, from one
// run of `tc -s qdisc show`. It
// reads the record and runs tc, nothing more, so it may run beside a change:
// what is half set up or half taken down is simply not found.
class TrafficControlStatistics final {
public:
    TrafficControlStatistics(const CommandExecutor& executor, std::string tc,
                             std::string recordPath);

    // Throws HelperError when tc fails or the record cannot be read, and
    // the runner's errors.
    ShapingStatistics read() const;

    // One qdisc of tc's listing with the counters of its "Sent" and
    // "backlog" lines.
    struct Qdisc {
        std::string kind;
        std::string handle;
        // Empty when the listing names none (a listing of one device).
        std::string device;
        DirectionStatistics statistics;
        // The listing had its "Sent" line: the counters are tc's, not zeros.
        bool counted = false;
    };
    // Every qdisc of `tc -s qdisc show`'s text, in its order; lines it does
    // not know are passed over.
    static std::vector<Qdisc> parse(std::string_view listing);

    // Sums the counters of each throttle's netem over `uploadDevices` and
    // over `downloadDevices`; a direction none of whose devices has a counted
    // netem of that throttle is absent.
    static ShapingStatistics sum(const std::vector<Qdisc>& qdiscs,
                                 const std::vector<std::string>& uploadDevices,
                                 const std::vector<std::string>& downloadDevices);

private:
    const CommandExecutor& m_executor;
    const std::string m_tc;
    const std::string m_recordPath;
};
