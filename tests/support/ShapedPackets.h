// SPDX-License-Identifier: MIT
#pragma once

#include "NetnsPair.h"

#include <cstdint>

// What traffic control on the shaped side of a NetnsPair counted, in frames
// (an offloaded packet counts as the frames it carries): all that the uplink
// vt0 sent and received, what one throttle's class on vt0 took in, and all
// that passed the IFB device. A flow that no throttle shapes passes neither
// that class nor the IFB device; counted before and after it, these tell so
// from the kernel itself, however fast a busy machine lets the flow go.
struct ShapedPackets {
    std::uint64_t uplinkSent = 0;
    std::uint64_t uplinkReceived = 0;
    // Sent and dropped: a class its rate holds back drops what a flow
    // sends beyond it.
    std::uint64_t throttleClass = 0;
    std::uint64_t ifb = 0;

    // With throttle `slot` shaping vt0. Throws std::runtime_error when tc
    // fails or lists no such shaping.
    static ShapedPackets count(NetnsPair& pair, int slot);

    // Whether what was counted over a flow says it passed no shaper of the
    // throttle, as long as nothing else went to the throttle's destinations
    // meanwhile. A flow sent through the class counts there every frame it
    // sends (the acknowledgements of a download), one sent through the IFB
    // device every frame it receives: one in a hundred leaves room for a
    // stray frame and is far from either.
    bool passedNoShaper() const {
        return throttleClass * 100 <= uplinkSent && ifb * 100 <= uplinkReceived;
    }

    ShapedPackets operator-(const ShapedPackets& earlier) const {
        return {uplinkSent - earlier.uplinkSent, uplinkReceived - earlier.uplinkReceived,
                throttleClass - earlier.throttleClass, ifb - earlier.ifb};
    }
};
