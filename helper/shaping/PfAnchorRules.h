// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"

#include <string>

// What pf's anchor holds for a layout of throttles: each throttle's TCP and
// UDP through a pipe pair of its own, inbound through pipe 2 * slot - 1 and
// outbound through pipe 2 * slot, so the whole machine keeps pipes 1 and 2.
// A throttle's destinations sit in tables of the anchor, one per prefix
// length and port, matched `to` the table on the way out and `from` it on
// the way in. Its rules are `quick` and come most specific first, the whole
// machine's last: the first rule that matches a packet decides its pipe.
namespace PfAnchorRules {

int inboundPipe(int slot);
int outboundPipe(int slot);

std::string forLayout(const ShapingLayout& layout);

} // namespace PfAnchorRules
