// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

class CommandExecutor;
class Logger;
class NetnsPair;

// One row of the accuracy table: what was measured, what was asked, what
// came out, and whether that is within its target.
using AccuracyRow = std::function<void(const std::string& what, const std::string& requested,
                                       const std::string& measured, bool withinTarget)>;

// Throttles scoped to destinations, shaped by the traffic-control backend
// alone (a record of its own) on the shaped side of `pair`, which must carry
// no shaping: a throttled address at its rate beside a flow to another
// address that passes none of its shapers, the delay of replies from it, two scoped throttles
// beside the whole machine's, a command's processes by their cgroup beside a
// sibling's (where the kernel marks packets by cgroup), and nothing left
// after each. Gives the peer more addresses; its link rate it restores.
void measureScopedThrottles(NetnsPair& pair, const Logger& logger, const CommandExecutor& executor,
                            const AccuracyRow& row);
