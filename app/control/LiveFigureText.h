// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"

#include <QString>

#include <optional>

// One direction's live figure as the panel and veltranectl show it, short
// enough for one line of the panel: "↓ 412 Kbps · 3 dropped · queue 120 ms".
// The rate is in the profiles' own units (bits a second, 1 Kbps = 1000), so
// it reads against the limit the profile sets.
namespace LiveFigureText {

enum class Direction { download, upload };

// A rate is told over at most this long: a reading older than that (a panel
// opened again after a while) would give the mean of the whole time.
inline constexpr quint64 kLongestRateIntervalMs = 5'000;

// What passed in `direction` between two readings of one helper, in bits a
// second; none when the later is not later, too long after, lacks the
// direction, or counts less (its shaper was set up anew meanwhile).
std::optional<double> bitsPerSecond(const ShaperStatistics& earlier, const ShaperStatistics& later,
                                    Direction direction);
// The same for throttle `id` alone.
std::optional<double> bitsPerSecond(const ShaperStatistics& earlier, const ShaperStatistics& later,
                                    std::uint64_t id, Direction direction);

// "↓ 412 Kbps · 3 dropped · queue 120 ms"; "–" stands for a rate not yet told.
QString line(Direction direction, const DirectionStatistics& figures,
             std::optional<double> bitsPerSecond);
// The same for a screen reader: "Download 412 Kbps, 3 dropped, queue 120 ms".
QString spoken(Direction direction, const DirectionStatistics& figures,
               std::optional<double> bitsPerSecond);

// "8.2 Kbps", "412 Kbps", "1.02 Mbps", "12.3 Mbps", "1.25 Gbps".
QString rate(double bitsPerSecond);
// "3", "9999", "12k", "1.2M".
QString count(quint64 value);
// "120 ms", "1.3 s", "12 s" at the bandwidth; "3 pkts" where it is unlimited.
QString queue(const DirectionStatistics& figures);

} // namespace LiveFigureText
