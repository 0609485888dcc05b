// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"

#include <QJsonValue>
#include <QString>

#include <optional>

// The shaping's live figures as status --stats and watch --stats show them:
// the panel's lines for people, records for scripts. Rates are what passed
// between `earlier` and `reading`; without an earlier reading there are none.
namespace StatisticsText {

// "↓ 998 Kbps · 3 dropped · queue 120 ms — ↑ 96 Kbps · 0 dropped · queue
// 0 ms"; "off" while nothing is shaped.
QString line(const ShaperStatistics& reading, const std::optional<ShaperStatistics>& earlier);

// takenAt (the helper's monotonic milliseconds), download and upload with
// bytes, packets, dropped, queuedPackets, queuedBytes, queueMs and
// bitsPerSecond, null where absent, and under throttles the same download
// and upload of each throttle by its id; null while nothing is shaped.
QJsonValue record(const ShaperStatistics& reading, const std::optional<ShaperStatistics>& earlier);

} // namespace StatisticsText
