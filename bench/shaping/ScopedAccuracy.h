// SPDX-License-Identifier: MIT
#pragma once

#include "AccuracyRow.h"

class CommandExecutor;
class Logger;
class NetnsPair;

// Throttles scoped to destinations, shaped by the traffic-control backend
// alone (a record of its own) on the shaped side of `pair`, which must carry
// no shaping: a throttled address at its rate beside a flow to another
// address that passes none of its shapers, the delay of replies from it, two scoped throttles
// beside the whole machine's, a command's processes by their cgroup beside a
// sibling's (where the kernel marks packets by cgroup), and nothing left
// after each. Gives the peer more addresses; its link rate it restores.
void measureScopedThrottles(NetnsPair& pair, const Logger& logger, const CommandExecutor& executor,
                            const AccuracyRow& row);
