// SPDX-License-Identifier: MIT
#include "ShaperStatistics.h"

#include <algorithm>

DirectionStatistics& DirectionStatistics::operator+=(const DirectionStatistics& other) {
    bytes += other.bytes;
    packets += other.packets;
    dropped += other.dropped;
    queuedBytes += other.queuedBytes;
    queuedPackets += other.queuedPackets;
    return *this;
}

const ThrottleStatistics* ShaperStatistics::throttle(std::uint64_t id) const {
    const auto found = std::find_if(throttles.begin(), throttles.end(),
                                    [id](const ThrottleStatistics& each) { return each.id == id; });
    return found == throttles.end() ? nullptr : &*found;
}
