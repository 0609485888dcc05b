// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"

#include <QVariantMap>

// The live statistics as GetStatistics' dictionary (keys in
// HelperProtocol::Statistics).
namespace StatisticsDictionary {

// Of an inactive helper, "active" alone.
QVariantMap toWire(const ShaperStatistics& statistics);

// A client's reading, of plain values (nested dictionaries as QVariantMap,
// lists as lists): keys it does not know are ignored, and a value of the
// wrong type counts as absent, so a newer helper's answer still reads.
ShaperStatistics fromWire(const QVariantMap& wire);

} // namespace StatisticsDictionary
